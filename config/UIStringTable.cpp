#include "config/UIStringTable.h"

namespace {

const UIStringKey* const kKeys[kUIStringKeyCount] = {
    &IDS_INSTALL,
    &IDS_STATUS_INIT,
    &IDS_STATUS_CANCELLING,
    &IDS_STATUS_DOWNLOADING,
    &IDS_STATUS_INSTALLING,
    &IDS_STATUS_FINISHED,
    &IDS_STATUS_INSTALL_FAILED,
    &IDS_STATUS_CANCELLED,
    &IDS_PRODUCT_READY,
    &IDS_ACCEPT_LICENSE_TERMS,
    &IDS_LINK_LICENSE_TERMS,
    &IDS_ACCEPT_LICENSE_SENTENCE,
    &IDS_INSTALL_SETTINGS,
    &IDS_SELECT_LANG,
    &IDS_INSTALL_FOLDER,
    &IDS_TEXT_CANCEL,
    &IDS_MESSAGE_CANCELNOTICE,
    &IDS_START_NOW,
    &IDS_LAUNCH_APP,
    &IDS_BROWSE_DEST_FOLDER,
    &IDS_PREPARING,
    &IDS_CALC_TIME_REMAINING,
    &IDS_TIME_REMAINING_HOURS,
    &IDS_TIME_REMAINING_MINS,
    &IDS_TIME_REMAINING_SECS,
    &IDS_ERR_CAPTION,
    &IDS_ERR_INSTALLED_ALREADY,
    &IDS_ERR_INSTALLED_ANOTHER_VERSION,
    &IDS_ERR_CLIENT_TOO_OLD,
    &IDS_ERR_OUT_OF_DISK,
    &IDS_ERR_CONNECT_DOWNLOAD_SERVER,
    &IDS_ERR_CREATE_FOLDER_FAILED,
    &IDS_CLOSE_RUNNING_APPS,
    &IDS_STATUS_RETRYING,
    &IDS_ERR_LOG_FILE,
    &IDS_ERR_DAMAGED_INSTALLER,
    &IDS_ERR_LAUNCH_FAILED,
    &IDS_RLINK_TERMS,
    &IDS_RLINK_SLIDE_SHOW,
};

wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

const UIStringKey* const* AllUIStringKeys() { return kKeys; }

std::wstring LanguageIdText(int languageId) { return std::to_wstring(languageId); }

std::wstring LanguageIniPath(const std::wstring& languageFolder, int languageId)
{
    return languageFolder + LanguageIdText(languageId) + L"\\string.ini";
}

int SlideScaleForDpi(int snappedDpi)
{
    if (snappedDpi >= 192)
        return 200;
    if (snappedDpi >= 144)
        return 150;
    if (snappedDpi >= 120)
        return 125;
    return 100;
}

std::wstring SlideFolderPath(const std::wstring& languageFolder, int languageId, int scale)
{
    return languageFolder + LanguageIdText(languageId) + L"\\slides\\" + std::to_wstring(scale) +
           L"\\";
}

bool HasJpgExtension(const std::wstring& fileName)
{
    static const wchar_t kExt[] = L".jpg";
    const size_t extLength = 4;
    if (fileName.size() < extLength)
        return false;
    const size_t start = fileName.size() - extLength;
    for (size_t i = 0; i < extLength; ++i) {
        if (AsciiLower(fileName[start + i]) != kExt[i])
            return false;
    }
    return true;
}
