// The fixed table of user-interface string keys with their English defaults,
// and the parts of the language-file lookup that need no Windows call: file
// and folder names, the slide scale for a display resolution, and the
// re-read loop that keeps a long INI value from being cut.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One string key: the name used in string.ini and the text shown when no
// language file overrides it.
struct UIStringKey
{
    const wchar_t* name;
    const wchar_t* defaultText;
};

inline constexpr UIStringKey IDS_INSTALL{L"IDS_INSTALL", L"Install"};
inline constexpr UIStringKey IDS_STATUS_INIT{L"IDS_STATUS_INIT", L"Initializing..."};
inline constexpr UIStringKey IDS_STATUS_CANCELLING{L"IDS_STATUS_CANCELLING", L"Cancelling..."};
inline constexpr UIStringKey IDS_STATUS_DOWNLOADING{
    L"IDS_STATUS_DOWNLOADING",
    L"Downloading, please wait..."};
inline constexpr UIStringKey IDS_STATUS_INSTALLING{
    L"IDS_STATUS_INSTALLING",
    L"Installing, please wait..."};
inline constexpr UIStringKey IDS_STATUS_FINISHED{L"IDS_STATUS_FINISHED", L"Finished."};
inline constexpr UIStringKey IDS_STATUS_INSTALL_FAILED{
    L"IDS_STATUS_INSTALL_FAILED",
    L"Install failed."};
inline constexpr UIStringKey IDS_STATUS_CANCELLED{L"IDS_STATUS_CANCELLED", L"Cancelled."};
inline constexpr UIStringKey IDS_PRODUCT_READY{L"IDS_PRODUCT_READY", L"%s is ready"};
inline constexpr UIStringKey IDS_ACCEPT_LICENSE_TERMS{L"IDS_ACCEPT_LICENSE_TERMS", L"I accept the"};
inline constexpr UIStringKey IDS_LINK_LICENSE_TERMS{L"IDS_LINK_LICENSE_TERMS", L"License Terms"};
inline constexpr UIStringKey IDS_ACCEPT_LICENSE_SENTENCE{
    L"IDS_ACCEPT_LICENSE_SENTENCE",
    L"I accept the License Terms"};
inline constexpr UIStringKey IDS_INSTALL_SETTINGS{
    L"IDS_INSTALL_SETTINGS",
    L"Installation settings"};
inline constexpr UIStringKey IDS_SELECT_LANG{L"IDS_SELECT_LANG", L"Please select a language:"};
inline constexpr UIStringKey IDS_INSTALL_FOLDER{L"IDS_INSTALL_FOLDER", L"Installation folder:"};
inline constexpr UIStringKey IDS_TEXT_CANCEL{L"IDS_TEXT_CANCEL", L"Cancel"};
inline constexpr UIStringKey IDS_MESSAGE_CANCELNOTICE{
    L"IDS_MESSAGE_CANCELNOTICE",
    L"Are you sure you want to cancel the installing process?"};
inline constexpr UIStringKey IDS_START_NOW{L"IDS_START_NOW", L"Start Now"};
inline constexpr UIStringKey IDS_LAUNCH_APP{L"IDS_LAUNCH_APP", L"Launch %s"};
inline constexpr UIStringKey IDS_BROWSE_DEST_FOLDER{
    L"IDS_BROWSE_DEST_FOLDER",
    L"Browse to the destination folder."};
inline constexpr UIStringKey IDS_PREPARING{L"IDS_PREPARING", L"Preparing..."};
inline constexpr UIStringKey IDS_CALC_TIME_REMAINING{
    L"IDS_CALC_TIME_REMAINING",
    L"Calculating time remaining..."};
inline constexpr UIStringKey IDS_TIME_REMAINING_HOURS{
    L"IDS_TIME_REMAINING_HOURS",
    L"%02d hours %02d mins %02d secs remaining..."};
inline constexpr UIStringKey IDS_TIME_REMAINING_MINS{
    L"IDS_TIME_REMAINING_MINS",
    L"%02d mins %02d secs remaining..."};
inline constexpr UIStringKey IDS_TIME_REMAINING_SECS{
    L"IDS_TIME_REMAINING_SECS",
    L"%02d secs remaining..."};
inline constexpr UIStringKey IDS_ERR_CAPTION{L"IDS_ERR_CAPTION", L"Error"};
inline constexpr UIStringKey IDS_ERR_INSTALLED_ALREADY{
    L"IDS_ERR_INSTALLED_ALREADY",
    L"%s is already installed. Would you like to launch it?"};
inline constexpr UIStringKey IDS_ERR_INSTALLED_ANOTHER_VERSION{
    L"IDS_ERR_INSTALLED_ANOTHER_VERSION",
    L"Another version of this product is already installed. Installation of this version "
    L"cannot continue. To configure or remove the existing version of this product, use "
    L"Add/Remove Programs on the Control Panel."};
inline constexpr UIStringKey IDS_ERR_CLIENT_TOO_OLD{
    L"IDS_ERR_CLIENT_TOO_OLD",
    L"The version of your client is too old, please click \"OK\" to download the latest "
    L"client."};
inline constexpr UIStringKey IDS_ERR_OUT_OF_DISK{
    L"IDS_ERR_OUT_OF_DISK",
    L"The disk space required for the installation exceeds available disk space. Check "
    L"that at least %s MB of disk space is available and try again. For more information, "
    L"please contact Customer Care."};
inline constexpr UIStringKey IDS_ERR_CONNECT_DOWNLOAD_SERVER{
    L"IDS_ERR_CONNECT_DOWNLOAD_SERVER",
    L"Unable to contact the download server. Check your Internet connection and try "
    L"again. If the issue persists, please contact Customer Care."};
inline constexpr UIStringKey IDS_ERR_CREATE_FOLDER_FAILED{
    L"IDS_ERR_CREATE_FOLDER_FAILED",
    L"The specified path %s is unavailable."};
inline constexpr UIStringKey IDS_CLOSE_RUNNING_APPS{
    L"IDS_CLOSE_RUNNING_APPS",
    L"The following applications should be closed before continuing the installation:"};
inline constexpr UIStringKey IDS_STATUS_RETRYING{
    L"IDS_STATUS_RETRYING",
    L"Connection lost. Retrying in %d s..."};
inline constexpr UIStringKey IDS_ERR_LOG_FILE{
    L"IDS_ERR_LOG_FILE",
    L"The log file %s cannot be written. The log is written to %s instead."};
inline constexpr UIStringKey IDS_ERR_DAMAGED_INSTALLER{
    L"IDS_ERR_DAMAGED_INSTALLER",
    L"The installer is damaged: its settings file %s is missing or cannot be read. Download "
    L"the installer again."};
inline constexpr UIStringKey IDS_ERR_LAUNCH_FAILED{
    L"IDS_ERR_LAUNCH_FAILED",
    L"%s could not be started."};
inline constexpr UIStringKey IDS_RLINK_TERMS{
    L"IDS_RLINK_TERMS",
    L"https://www.pel-systems.com/varo-pro/7/license-terms"};
inline constexpr UIStringKey IDS_RLINK_SLIDE_SHOW{
    L"IDS_RLINK_SLIDE_SHOW",
    L"https://www.pel-systems.com/varo-pro/7/whats-new"};

constexpr size_t kUIStringKeyCount = 39;

// Every key, in table order (kUIStringKeyCount entries).
const UIStringKey* const* AllUIStringKeys();

// The language whose texts are the built-in defaults.
constexpr int kDefaultLanguageId = 1033;

// Characters the INI value buffer holds first; values that fill it are read again larger.
constexpr unsigned long kProfileBufferChars = 260;

// Upper bound for a re-read INI value, so that a reader that always reports a
// full buffer cannot make the loop allocate without end.
constexpr unsigned long kMaxProfileValueChars = 1UL << 20;

// Language id in decimal ("%d").
std::wstring LanguageIdText(int languageId);

// languageFolder + id + "\string.ini" ("%s%d\%s").
std::wstring LanguageIniPath(const std::wstring& languageFolder, int languageId);

// Slide-picture scale folder for a snapped vertical resolution:
// 200 from 192 dpi, 150 from 144, 125 from 120, else 100.
int SlideScaleForDpi(int snappedDpi);

// languageFolder + id + "\slides\" + scale + "\" ("%s%d\%s\%d\").
std::wstring SlideFolderPath(const std::wstring& languageFolder, int languageId, int scale);

// True when a file name ends in ".jpg" (any letter case). A "*.jpg" search on
// Windows also matches longer extensions through their 8.3 short names
// ("a.jpgx" is "A~1.JPG"), so found names are checked again.
bool HasJpgExtension(const std::wstring& fileName);

// Reads a value through `read(buffer, size)`, which behaves like
// GetPrivateProfileStringW with a section and key given: it writes at most
// size - 1 characters plus a terminator and returns the count written, which
// is size - 1 when the value did not fit. A full buffer is read again with
// twice the room, so that no value comes back cut.
template <class Reader>
std::wstring ReadUncutProfileValue(Reader read)
{
    std::vector<wchar_t> buffer(kProfileBufferChars, L'\0');
    for (;;) {
        const unsigned long size = static_cast<unsigned long>(buffer.size());
        unsigned long count = read(buffer.data(), size);
        if (count > size - 1)
            count = size - 1;
        if (count < size - 1 || size >= kMaxProfileValueChars)
            return std::wstring(buffer.data(), count);
        buffer.assign(static_cast<size_t>(size) * 2, L'\0');
    }
}
