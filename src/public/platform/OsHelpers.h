#pragma once

// The shared unit's operating-system helpers that need no Qt: shell-folder identifiers, the
// dotted-address check, the version text, and the hardware-key messages to the filter driver.

#include <cstdint>
#include <string>
#include <string_view>

// The shell's special folders; each stands for the CSIDL of the same folder.
enum class TSpecialFolder {
    sfDesktop,
    sfInternet,
    sfPrograms,
    sfControls,
    sfPrinters,
    sfPersonal,
    sfFavorites,
    sfStartup,
    sfRecent,
    sfSendTo,
    sfBitBucket,
    sfStartMenu,
    sfMyDocuments,
    sfMyMusic,
    sfMyVideo,
    sfDesktopDirectory,
    sfDrives,
    sfNetwork,
    sfNethood,
    sfFonts,
    sfTemplates,
    sfCommonStartMenu,
    sfCommonPrograms,
    sfCommonStartup,
    sfCommonDesktopDirectory,
    sfAppData,
    sfPrinthood,
    sfLocalAppData,
    sfALTStartup,
    sfCommonALTStartup,
    sfCommonFavorites,
    sfInternetCache,
    sfCookies,
    sfHistory,
    sfCommonAppData,
    sfWindows,
    sfSystem,
    sfProgramFiles,
    sfMyPictures,
    sfProfile,
    sfSystemX86,
    sfProgramFilesX86,
    sfProgramFilesCommon,
    sfProgramFilesCommonX86,
    sfCommonTemplates,
    sfCommonDocuments,
    sfCommonAdminTools,
    sfAdminTools,
    sfConnections,
    sfCommonMusic,
    sfCommonPictures,
    sfCommonVideo,
    sfResources,
    sfResourcesLocalized,
    sfCommonOEMLinks,
    sfCDBurnArea,
    sfComputersNearMe,
};

// The CSIDL number of a folder.
int CsidlOf(TSpecialFolder folder);

// True for a dotted IPv4 address: exactly four parts, each a number from 0 to 255 in the
// integer notation of the console's language (leading blanks, a sign, "$" or "0x" hexadecimal).
bool IsValidIP(std::string_view text);

// True for an IPv4 address written as a plain dotted quad: four decimal numbers from 0 to 255
// of one to three digits, without leading zeros, signs or blanks. Only such a text is used as
// the host of a request to a client agent.
bool IsDottedQuad(std::string_view text);

// product + " (version: " + version + ") " + servicePack.
std::string WindowsVersionText(const std::string& product, const std::string& version,
                               const std::string& servicePack);

// The version text of a Linux system from the text of /etc/os-release (NAME and VERSION_ID;
// Linux has no service packs).
std::string OsReleaseVersionText(const std::string& osRelease);

// Tell the filter driver that the user's hardware key was inserted or removed; true when sent.
bool KVZSetKeyPlugged();
bool KVZSetKeyUnplugged();
// The key state byte the driver reports; 0 when its port is not reachable.
std::uint8_t KVZCheckKeyStatus();

#ifdef _WIN32
// The version text read from the registry as the system's platform asks.
std::string ReadWindowsVersion();
// The folder's path from the shell; empty when the shell cannot resolve it.
std::string ShellFolderPath(TSpecialFolder folder);
#endif
