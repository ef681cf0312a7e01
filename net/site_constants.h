// What the program sends to the Quillfern site and where.
#pragma once

#include "resources/program_version.h"
#include "game/game_constants.h"
#include "site_config.h"

#define PELLINPORT_STRINGIZE2(x) #x
#define PELLINPORT_STRINGIZE(x) PELLINPORT_STRINGIZE2(x)

constexpr wchar_t SITE_HOST[] = PELLINPORT_SITE_HOST_TEXT;
constexpr unsigned short SITE_PORT = PELLINPORT_SITE_PORT_NUMBER;

// "http://host/" on the usual port, "http://host:port/" otherwise.
#if PELLINPORT_SITE_PORT_NUMBER == 80
#define PELLINPORT_SITE_ROOT L"http://" PELLINPORT_SITE_HOST_TEXT
#else
#define PELLINPORT_SITE_ROOT \
    L"http://" PELLINPORT_SITE_HOST_TEXT L":" PELLINPORT_STRINGIZE(PELLINPORT_SITE_PORT_NUMBER)
#endif
constexpr wchar_t SITE_HOME_ADDRESS[] = PELLINPORT_SITE_ROOT L"/";
constexpr wchar_t SITE_PRESENTATION_ADDRESS[] =
    PELLINPORT_SITE_ROOT L"/index.php?page=bc-presentation";

constexpr wchar_t SITE_USER_AGENT[] = L"Quillfern Uploader";
// Sent as the "version" field: the program's build number.
constexpr char SITE_BUILD_NUMBER[] = PELLINPORT_BUILD_TEXT;
#define MULTIPART_BOUNDARY_TEXT "gc0p4Jq0M2Yt08jU534c0p"
constexpr char MULTIPART_BOUNDARY[] = MULTIPART_BOUNDARY_TEXT;

constexpr wchar_t SITE_AUTHENTICATION_PATH[] = L"/addon-v2/uploader/authentification.php";
constexpr wchar_t SITE_SEND_PATH[] = L"/addon-v2/uploader/send.php";
constexpr wchar_t SITE_RELEASE_LIST_PATH[] = L"/addon-v2/uploader/release.txt";
constexpr wchar_t SITE_LIGHT_EDITION_FOLDER[] = L"/addon-v2/uploader/version-light/Quillfern/";
constexpr wchar_t SITE_FULL_EDITION_FOLDER[] = L"/addon-v2/uploader/version-full/Quillfern/";

// Form fields of the two upload requests.
constexpr char FIELD_LOGIN[] = "login";
constexpr char FIELD_PASSWORD[] = "pwrd";
constexpr char FIELD_VERSION[] = "version";
constexpr char FIELD_FILE[] = "file";
constexpr char UPLOAD_FILE_NAME[] = PELLINPORT_DATA_FILE_NAME;
// The site's whole reply when it accepts a request.
constexpr char SITE_REPLY_ACCEPTED[] = "OK";
