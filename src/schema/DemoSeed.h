#pragma once

#include "DbConnection.h"

// The demo site, for the host's first start, the demos and the tests (on a database that
// createSchema() prepared and that holds no rows yet):
// - departments 1..13: 研发部 > 软件组 > 测试小组, 研发部 > 硬件组 > 嵌入式小组, 研发部 > O'Brien
// Lab,
//   Sales > North Region / South Region, 财务部 > 会计科, 人力资源部, IT Support; 嵌入式小组 has no
//   default role and O'Brien Lab names a role that does not exist;
// - roles 1..5 with default levels, groups and file policies; levels 1..4 (公开, 内部, 秘密, 机密);
//   groups 1..5; file policies 1..4; a mail-category tree with addresses and role links;
// - the settings row of `other` (id 1, Ctrl with Sc_USERDC and Sc_AUTHORITY, depart 9 = 财务部);
// - 32 users (demoUserCount): user 1 at 127.0.0.1, most at 127.0.x.y (loopback, so stand-ins can listen on them), every third online,
//   some with the decrypt right; user 31 at the root (Pid 0), user 32 in a department that does
//   not exist, user 30 with a role that does not exist, user 29 never connected (no address);
// - two approval flows, a scan task for user 2, an offline authorization for user 4, two log rows.
constexpr int demoUserCount = 32;
constexpr int demoDepartmentCount = 13;

void seedDemo(DbConnection& connection);

// The part of the demo that every site shares: levels, groups, roles, file policies, mail
// policy, approval flows and the settings row (its department set to `settingsDepartment`).
void seedReferenceData(DbConnection& connection, int settingsDepartment);
