<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>BulkResultsModel</name>
    <message>
        <source>等待中</source>
        <translation>pending</translation>
    </message>
    <message>
        <source>已确认</source>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>拒绝：</source>
        <translation>refused: </translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>超时</source>
        <translation>time-out</translation>
    </message>
    <message>
        <source>无地址</source>
        <translation>no address</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User Name</translation>
    </message>
    <message>
        <source>部门</source>
        <translation>Department</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>用时(毫秒)</source>
        <translation>Time (ms)</translation>
    </message>
</context>
<context>
    <name>TFrmBulkResults</name>
    <message>
        <source>远程命令结果</source>
        <translation>Remote Command Results</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>重试失败的(&amp;R)</source>
        <translation>&amp;Retry the Failed Ones</translation>
    </message>
    <message>
        <source>导出(&amp;E)...</source>
        <translation>&amp;Export...</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>已发送 %1，已确认 %2，失败 %3，等待 %4</source>
        <translation>Sent %1, confirmed %2, failed %3, pending %4</translation>
    </message>
</context>
<context>
    <name>TFrmDepartRole</name>
    <message>
        <source>部门角色分配</source>
        <translation>Department Role</translation>
    </message>
    <message>
        <source>请选择一个角色</source>
        <translation>Choose a role</translation>
    </message>
    <message>
        <source>立即更新部门所有用户的角色信息</source>
        <translation>Apply the role to all of the department&apos;s users now</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TFrmUserAuth</name>
    <message>
        <source>操作权限</source>
        <translation>Access Rights</translation>
    </message>
    <message>
        <source>密文操作权限</source>
        <translation>Rights on Encrypted Files</translation>
    </message>
    <message>
        <source>密文解密操作</source>
        <translation>Decrypt</translation>
    </message>
    <message>
        <source>密文重新授权</source>
        <translation>Re-authorize</translation>
    </message>
    <message>
        <source>密级：</source>
        <translation>Level:</translation>
    </message>
    <message>
        <source>群组</source>
        <translation>Groups</translation>
    </message>
    <message>
        <source>已选</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>可选</source>
        <translation>Available</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>群组ID</source>
        <translation>Group ID</translation>
    </message>
    <message>
        <source>群组名</source>
        <translation>Group Name</translation>
    </message>
</context>
<context>
    <name>TFrmUserInfo</name>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>部门：</source>
        <translation>Department:</translation>
    </message>
    <message>
        <source>角色：</source>
        <translation>Role:</translation>
    </message>
    <message>
        <source>口令：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>UKeyID：</source>
        <translation>UKey ID:</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TFrmUsersManage</name>
    <message>
        <source>用户管理</source>
        <translation>Users Management</translation>
    </message>
    <message>
        <source>部门树</source>
        <translation>Department tree</translation>
    </message>
    <message>
        <source>用户列表</source>
        <translation>User list</translation>
    </message>
    <message>
        <source>清除筛选(&amp;X)</source>
        <translation>Clear filter (&amp;X)</translation>
    </message>
    <message>
        <source>搜索(&amp;Q)</source>
        <translation>Sear&amp;ch</translation>
    </message>
    <message>
        <source>远程(&amp;T)</source>
        <translation>Remo&amp;te</translation>
    </message>
    <message>
        <source>授权(&amp;A)</source>
        <translation>&amp;Authorize</translation>
    </message>
    <message>
        <source>刷新(&amp;R)</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>显示(&amp;S)</source>
        <translation>&amp;Show</translation>
    </message>
    <message>
        <source>托盘图标(&amp;I)</source>
        <translation>Tray &amp;Icon</translation>
    </message>
    <message>
        <source>密文图标(&amp;O)</source>
        <translation>Encrypted-File Ic&amp;ons</translation>
    </message>
    <message>
        <source>自动加解密(&amp;P)</source>
        <translation>Automatic Encry&amp;ption</translation>
    </message>
    <message>
        <source>新增(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>修改(&amp;M)</source>
        <translation>&amp;Modify</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>分配角色(&amp;R)</source>
        <translation>Assign &amp;Role</translation>
    </message>
    <message>
        <source>分配用户(&amp;U)</source>
        <translation>Assign &amp;Users</translation>
    </message>
    <message>
        <source>导出列表(&amp;E)...</source>
        <translation>&amp;Export List...</translation>
    </message>
    <message>
        <source>操作权限(&amp;A)</source>
        <translation>&amp;Access Rights</translation>
    </message>
    <message>
        <source>离线使用(&amp;O)</source>
        <translation>&amp;Offline Use</translation>
    </message>
    <message>
        <source>全部用户(&amp;A)</source>
        <translation>&amp;All Users</translation>
    </message>
    <message>
        <source>今日上线用户(&amp;O)</source>
        <translation>&amp;Online Today</translation>
    </message>
    <message>
        <source>今日未上线用户(&amp;U)</source>
        <translation>&amp;Not Online Today</translation>
    </message>
    <message>
        <source>更新策略(&amp;L)</source>
        <translation>Re&amp;load Policy</translation>
    </message>
    <message>
        <source>隐藏(&amp;H)</source>
        <translation>&amp;Hide</translation>
    </message>
    <message>
        <source>暂停(&amp;P)</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>启动(&amp;S)</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>扫描(&amp;S)</source>
        <translation>&amp;Scan...</translation>
    </message>
    <message>
        <source>升级(&amp;U)</source>
        <translation>&amp;Upgrade</translation>
    </message>
    <message>
        <source>卸载客户端(&amp;M)</source>
        <translation>Re&amp;move Client</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>更新策略</source>
        <translation>Update Policy</translation>
    </message>
    <message>
        <source>显示托盘图标</source>
        <translation>Show Tray Icon</translation>
    </message>
    <message>
        <source>隐藏托盘图标</source>
        <translation>Hide Tray Icon</translation>
    </message>
    <message>
        <source>显示密文图标</source>
        <translation>Show Encrypted-File Icons</translation>
    </message>
    <message>
        <source>隐藏密文图标</source>
        <translation>Hide Encrypted-File Icons</translation>
    </message>
    <message>
        <source>暂停自动加解密</source>
        <translation>Pause Automatic Encryption</translation>
    </message>
    <message>
        <source>启动自动加解密</source>
        <translation>Start Automatic Encryption</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>卸载客户端</source>
        <translation>Uninstall Client</translation>
    </message>
    <message>
        <source>发给所有选中用户(&amp;A)</source>
        <translation>To &amp;All Selected Users</translation>
    </message>
    <message>
        <source>发给整个部门(&amp;W)</source>
        <translation>To the &amp;Whole Department</translation>
    </message>
</context>
<context>
    <name>TFrmUsersSearchDlg</name>
    <message>
        <source>用户搜索</source>
        <translation>User Search</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>部门：</source>
        <translation>Department:</translation>
    </message>
    <message>
        <source>IP：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>机器名：</source>
        <translation>Computer name:</translation>
    </message>
    <message>
        <source>角色：</source>
        <translation>Role:</translation>
    </message>
    <message>
        <source>客户端版本：</source>
        <translation>Client version:</translation>
    </message>
    <message>
        <source>模糊搜索</source>
        <translation>Partial match</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TFrm_ScanClient</name>
    <message>
        <source>扫描解密客户端文件</source>
        <translation>Scan Client Files</translation>
    </message>
    <message>
        <source>扫描选项</source>
        <translation>Scan Options</translation>
    </message>
    <message>
        <source>扫描加密所有涉密类型文件</source>
        <translation>Scan and encrypt all files of the classified types</translation>
    </message>
    <message>
        <source>扫描解密涉密后缀之外密文</source>
        <translation>Scan and decrypt encrypted files outside the classified extensions</translation>
    </message>
    <message>
        <source>扫描解密全部密文</source>
        <translation>Scan and decrypt all encrypted files</translation>
    </message>
    <message>
        <source>执行计划</source>
        <translation>Schedule</translation>
    </message>
    <message>
        <source>立即执行</source>
        <translation>Run now</translation>
    </message>
    <message>
        <source>计划开始执行于：</source>
        <translation>Run at:</translation>
    </message>
    <message>
        <source>HH:mm:ss</source>
        <translation>HH:mm:ss</translation>
    </message>
    <message>
        <source>扫描对象：</source>
        <translation>Users to scan:</translation>
    </message>
    <message>
        <source>可选对象：</source>
        <translation>Available users:</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User Name</translation>
    </message>
    <message>
        <source>所在部门</source>
        <translation>Department</translation>
    </message>
</context>
<context>
    <name>TFrm_UserChose</name>
    <message>
        <source>分配用户</source>
        <translation>Assign Users</translation>
    </message>
    <message>
        <source>已选</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>可选</source>
        <translation>Available</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>名字</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>部门</source>
        <translation>Department</translation>
    </message>
</context>
<context>
    <name>TFrm_UserOut</name>
    <message>
        <source>商务授权</source>
        <translation>Offline Authorization</translation>
    </message>
    <message>
        <source>基本信息</source>
        <translation>General</translation>
    </message>
    <message>
        <source>注销方式</source>
        <translation>Revocation</translation>
    </message>
    <message>
        <source>到期注销</source>
        <translation>Revoke on the expiry date</translation>
    </message>
    <message>
        <source>联网注销</source>
        <translation>Revoke when back on the network</translation>
    </message>
    <message>
        <source>到期日期</source>
        <translation>Expiry date</translation>
    </message>
    <message>
        <source>yyyy-MM-dd</source>
        <translation>yyyy-MM-dd</translation>
    </message>
    <message>
        <source>登录控制</source>
        <translation>Logon Control</translation>
    </message>
    <message>
        <source>是否控制</source>
        <translation>Control logon</translation>
    </message>
    <message>
        <source>不控制</source>
        <translation>No control</translation>
    </message>
    <message>
        <source>控制</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>控制方式</source>
        <translation>Control method</translation>
    </message>
    <message>
        <source>密码验证</source>
        <translation>Password check</translation>
    </message>
    <message>
        <source>UKey验证</source>
        <translation>UKey check</translation>
    </message>
    <message>
        <source>控制结果</source>
        <translation>On failure</translation>
    </message>
    <message>
        <source>不启动</source>
        <translation>Do not start</translation>
    </message>
    <message>
        <source>自动关机</source>
        <translation>Shut down</translation>
    </message>
    <message>
        <source>控制密码：</source>
        <translation>Control password:</translation>
    </message>
    <message>
        <source>文件方式</source>
        <translation>File Mode</translation>
    </message>
    <message>
        <source>生成离线授权文件</source>
        <translation>Create an offline authorization file</translation>
    </message>
    <message>
        <source>授权文件保存到：</source>
        <translation>Save the authorization file to:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>授权(&amp;A)</source>
        <translation>&amp;Authorize</translation>
    </message>
    <message>
        <source>退出(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
</context>
<context>
    <name>UserListModel</name>
    <message>
        <source>用户名</source>
        <translation>User Name</translation>
    </message>
    <message>
        <source>所在部门</source>
        <translation>Department</translation>
    </message>
    <message>
        <source>机器IP</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>机器名</source>
        <translation>Computer Name</translation>
    </message>
    <message>
        <source>角色</source>
        <translation>Role</translation>
    </message>
    <message>
        <source>解密</source>
        <translation>Decrypt</translation>
    </message>
    <message>
        <source>客户端版本</source>
        <translation>Client Version</translation>
    </message>
    <message>
        <source>扫描任务</source>
        <translation>Scan Task</translation>
    </message>
</context>
</TS>
