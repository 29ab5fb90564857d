#pragma once

// Makes SIGINT and SIGTERM (on Windows: Ctrl+C, Ctrl+Break, closing the console) end the
// application's event loop the ordinary way (aboutToQuit is emitted, destructors run), so a
// stand-in stopped from a terminal or a script says goodbye.
void quitOnTerminationSignals();
