#pragma once

// Tests talk only to this computer. Every test binary replaces the system's connect, sendto
// and sendmsg for the whole process (Qt and database drivers included): a destination outside
// 127.0.0.0/8 (IPv4, ::1, or IPv4-mapped loopback) is refused before the system sees it, with
// errno EACCES and a failure of the running test naming the address. Unix-domain and netlink
// sockets, and sends on connected sockets, pass.
//
// Looks the system's own functions up; main calls it before any test starts a thread.
void installLoopbackGuard();
