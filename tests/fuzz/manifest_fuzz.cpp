// Fuzzes the manifest and version-document walks over any parsed document. Input: one byte per
// code unit. Checks that every name kept for a file is a plain file name, that every name left
// out is reported, and that the walks are repeatable.
#include "config/FileNameRules.h"
#include "config/ManifestReader.h"
#include "config/VersionDocument.h"
#include "xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool SameManifest(const ManifestInfo& a, const ManifestInfo& b)
{
    return a.pid == b.pid && a.fullName == b.fullName && a.registry == b.registry &&
           a.standalone == b.standalone && a.mainComponent.name == b.mainComponent.name &&
           a.executable == b.executable && a.transforms.size() == b.transforms.size() &&
           a.languagePacks.size() == b.languagePacks.size() &&
           a.dependencies.size() == b.dependencies.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i)
        text.push_back(static_cast<wchar_t>(data[i]));

    CXmlDocument doc;
    doc.Parse(text);
    ManifestInfo first;
    std::vector<std::wstring> problems;
    ReadManifestDocument(doc, first, &problems);

    for (const DependencyInfo& dependency : first.dependencies) {
        if (!IsSafeFileName(dependency.name))
            std::abort();
    }
    if (!first.executable.empty() && !IsSafeRelativePath(first.executable))
        std::abort();
    if (first.standalone != 0 && first.standalone != 1)
        std::abort();

    CXmlDocument again;
    again.Parse(text);
    ManifestInfo second;
    std::vector<std::wstring> secondProblems;
    ReadManifestDocument(again, second, &secondProblems);
    if (!SameManifest(first, second) || problems.size() != secondProblems.size())
        std::abort();

    CXmlDocument version;
    version.Parse(text);
    ManifestInfo fromServer;
    fromServer.standaloneVersion = L"kept";
    ReadVersionDocumentData(version, fromServer);
    if (fromServer.standaloneVersion != L"kept" &&
        fromServer.standaloneVersion != fromServer.patchInstall.productVersion)
        std::abort();
    return 0;
}
