// The program's name, version and build number, shared by the code and the
// resource script.
#pragma once

#define PELLINPORT_PRODUCT_NAME "Pellinport"
#define PELLINPORT_VERSION_TEXT "1.1"
#define PELLINPORT_BUILD_TEXT "018"
#define PELLINPORT_FULL_VERSION_TEXT PELLINPORT_VERSION_TEXT "." PELLINPORT_BUILD_TEXT
#define PELLINPORT_VERSION_NUMBERS 1, 1, 18, 0
