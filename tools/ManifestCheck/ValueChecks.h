// Checks of single values as the installer reads them: versions, addresses, language ids,
// the standalone flag, product codes, blanks around values, and text placeholders.
#pragma once

#include "CheckReport.h"
#include "ReadingOrder.h"

#include "config/DocumentMap.h"

#include <string>
#include <vector>

// Four runs of decimal digits separated by single dots, nothing else ("7.0.0.10").
bool IsFourPartVersion(const std::wstring& text);
// Begins with http:// or https:// (any letter case) and names something after it.
bool IsHttpAddress(const std::wstring& text);
// 1 to 5 decimal digits and nothing else, a value from 1 to 65535.
bool IsPlainLanguageId(const std::wstring& text);
// A Windows Installer product code: a GUID in braces, hexadecimal digits in any case.
bool IsBracedGuid(const std::wstring& text);
// A blank, tab or line break at either end.
bool HasBlanksAround(const std::wstring& text);
// Blanks, tabs and line breaks removed from both ends.
std::wstring Trimmed(const std::wstring& text);
// A-Z folded to a-z.
std::wstring LowerAscii(const std::wstring& text);

// A payload hash: sha256 (in a transform, language pack or dependency), full_sha256 and
// patch_sha256 (in main_component), web_installer_sha256 (in a release of the version
// document).
bool IsHashElement(const std::wstring& name);
// The sibling holding the address of the file a hash element describes: patch_url for
// patch_sha256, web_installer_download_url for web_installer_sha256, else full_url.
const wchar_t* HashAddressOf(const std::wstring& hashName);

// The conversions of a user-interface text in order, as the installer's formatter sees them:
// each "%..." conversion it fills (%s, %02d, ...), "%%", and any other '%' with the character
// after it, which is shown as written.
std::vector<std::wstring> Placeholders(const std::wstring& text);
// The list written out for a message ("%s, %02d"; "none").
std::wstring DescribePlaceholders(const std::vector<std::wstring>& placeholders);

// Looks at the value of every element the installer read: blanks around it, and by its name
// whether it is a proper version, address, language id, standalone flag, product code or
// payload hash (a malformed hash is an error: nothing the installer downloads matches it).
void CheckVisitedValues(const CDocumentMap& map, const ReadingOrders& orders,
                        CCheckReport& report);
