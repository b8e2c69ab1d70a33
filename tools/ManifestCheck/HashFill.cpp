#include "HashFill.h"

#include "PayloadFolder.h"
#include "TextRewrite.h"
#include "ValueChecks.h"

#include "config/DocumentMap.h"
#include "config/ManifestInfo.h"
#include "config/ManifestReader.h"
#include "config/VersionDocument.h"
#include "xml/XmlDocument.h"

#include <windows.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

enum class DocumentKind { Manifest, VersionDocument };

// One hash element to fill: which container, from which address, and what was found.
struct HashTarget
{
    int container = -1;
    int ordinal = 0;                        // among the elements of the container's name
    const wchar_t* hashName = L"";
    const wchar_t* followedBy = nullptr;    // a hash the installer reads after this one
    std::wstring label;
    std::wstring url;
    int line = 0;                           // of the address
    std::wstring key;                       // DownloadKey of the address
    std::wstring file;
    std::wstring relative;                  // the file, below the payload folder
    Sha256Digest digest{};
    std::wstring failure;                   // why it is not filled; empty when it can be
};

struct FillDocument
{
    std::wstring path;
    DocumentKind kind = DocumentKind::Manifest;
    DecodedFile file;
    CDocumentMap map;
    std::vector<HashTarget> targets;
    std::wstring failure;                   // why nothing is filled in
};

// The elements the installer's own reader finds in text, marked in map.
void MapAsRead(CDocumentMap& map, const XmlTextRead& read, DocumentKind kind)
{
    map.LoadRead(read);
    if (!map.WellFormed())
        return;
    CXmlDocument doc;
    if (!doc.Parse(map.Text()))
        return;
    CVisitRecorder visits;
    ManifestInfo info;
    if (kind == DocumentKind::Manifest)
        ReadManifestDocument(doc, info, nullptr);
    else
        ReadVersionDocumentData(doc, info);
    map.MarkVisited(visits.Starts());
}

// Every element's index in document order, by name: the n-th container of a name is the
// same container before and after hash elements are added.
std::map<std::wstring, std::vector<int>> IndexByName(const CDocumentMap& map)
{
    std::map<std::wstring, std::vector<int>> byName;
    const std::vector<ElementInfo>& elements = map.Elements();
    for (size_t i = 0; i < elements.size(); ++i)
        byName[elements[i].name].push_back(static_cast<int>(i));
    return byName;
}

void AddTarget(FillDocument& doc, int container, int ordinal, const wchar_t* hashName,
               const wchar_t* followedBy, const std::wstring& label)
{
    const int url = doc.map.FindChild(container, HashAddressOf(hashName), true);
    if (url < 0 || doc.map.Elements()[url].data.empty())
        return;
    HashTarget target;
    target.container = container;
    target.ordinal = ordinal;
    target.hashName = hashName;
    target.followedBy = followedBy;
    target.label = label;
    target.url = doc.map.Elements()[url].data;
    target.line = doc.map.Elements()[url].line;
    doc.targets.push_back(std::move(target));
}

// Every item the installer reads (a container found with its key child) that has an address.
void ListTargets(FillDocument& doc)
{
    const std::vector<ElementInfo>& elements = doc.map.Elements();
    std::map<std::wstring, int> seen;
    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementInfo& e = elements[i];
        const int index = static_cast<int>(i);
        const int ordinal = seen[e.name]++;
        if (!e.visited)
            continue;
        if (doc.kind == DocumentKind::VersionDocument) {
            if (e.name == L"fresh_install" || e.name == L"patch_install")
                AddTarget(doc, index, ordinal, L"web_installer_sha256", nullptr,
                          e.name + L"/web_installer_sha256");
            continue;
        }
        const wchar_t* key = e.name == L"transform" || e.name == L"language_pack" ? L"lang_id"
                             : e.name == L"main_component" || e.name == L"dependency" ? L"name"
                                                                                      : nullptr;
        const int keyChild = key ? doc.map.FindChild(index, key, true) : -1;
        if (keyChild < 0)
            continue;
        const std::wstring& keyValue = elements[keyChild].data;
        if (e.name == L"main_component") {
            AddTarget(doc, index, ordinal, L"full_sha256", L"patch_sha256",
                      L"main_component/full_sha256");
            AddTarget(doc, index, ordinal, L"patch_sha256", nullptr,
                      L"main_component/patch_sha256");
        } else if (e.name == L"dependency") {
            AddTarget(doc, index, ordinal, L"sha256", nullptr,
                      L"dependency " + Quoted(keyValue) + L" sha256");
        } else {
            AddTarget(doc, index, ordinal, L"sha256", nullptr,
                      e.name + L" " + keyValue + L" sha256");
        }
    }
}

std::unique_ptr<FillDocument> LoadForFill(const std::wstring& path, DocumentKind kind)
{
    auto doc = std::make_unique<FillDocument>();
    doc->path = path;
    doc->kind = kind;
    std::wstring problem;
    if (!ReadDecodedFile(path, doc->file, problem)) {
        doc->failure = L"the file cannot be read: " + problem;
        return doc;
    }
    MapAsRead(doc->map, doc->file.read, kind);
    if (!doc->map.WellFormed())
        doc->failure = L"it is not a well-formed XML document";
    else if (doc->map.Elements().empty() || !doc->map.Elements()[0].visited)
        doc->failure = L"its root element is not `pelwebinstaller`";
    else
        ListTargets(*doc);
    return doc;
}

std::wstring Listed(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (const std::wstring& name : names)
        text += (text.empty() ? L"" : L", ") + name;
    return text;
}

// Finds and hashes the file of every target. Two different addresses that lead to the same
// file get no hash: in a flat folder they would get the same one, and one would be wrong.
void FindAndHash(const std::wstring& folder, std::vector<HashTarget*>& targets)
{
    std::map<std::wstring, std::vector<HashTarget*>> byFile;
    for (HashTarget* t : targets) {
        const AddressPath address = SplitAddress(t->url);
        if (!address.problem.empty()) {
            t->failure = L"the address " + Quoted(t->url) + L" names no file: " + address.problem;
            continue;
        }
        const PayloadLookup lookup = FindPayload(folder, address);
        if (lookup.file.empty()) {
            t->failure = L"no file for " + Quoted(t->url) + L" in the payload folder (looked for " +
                         Listed(lookup.tried) + L")";
            continue;
        }
        t->key = DownloadKey(address);
        t->file = lookup.file;
        t->relative = lookup.relative;
        byFile[LowerAscii(t->file)].push_back(t);
    }
    CPayloadHashes hashes;
    for (auto& entry : byFile) {
        const std::vector<HashTarget*>& sharing = entry.second;
        const HashTarget* first = sharing.front();
        const HashTarget* differing = nullptr;
        for (const HashTarget* t : sharing) {
            if (t->key != first->key && !differing)
                differing = t;
        }
        for (HashTarget* t : sharing) {
            const HashTarget* other = t->key != first->key ? first : differing;
            if (other)
                t->failure = L"the address " + Quoted(t->url) + L" and the address " +
                             Quoted(other->url) + L" both lead to " + t->relative +
                             L"; lay the payload folder out like the download site";
            else if (!hashes.Get(t->file, t->digest))
                t->failure = t->relative + L" cannot be read";
        }
    }
}

size_t LineStart(const std::wstring& text, size_t pos)
{
    while (pos > 0 && text[pos - 1] != L'\n' && text[pos - 1] != L'\r')
        --pos;
    return pos;
}

// Only blanks before pos on its line, and a line before it.
bool StartsItsLine(const std::wstring& text, size_t pos)
{
    const size_t start = LineStart(text, pos);
    if (start == 0)
        return false;
    for (size_t i = start; i < pos; ++i) {
        if (text[i] != L' ' && text[i] != L'\t')
            return false;
    }
    return true;
}

std::wstring LineBreakBefore(const std::wstring& text, size_t lineStart)
{
    if (text[lineStart - 1] == L'\r')
        return L"\r";
    return lineStart >= 2 && text[lineStart - 2] == L'\r' ? L"\r\n" : L"\n";
}

// The edit that gives target its hash; status says what it does. False when the element's
// place cannot be found in the text.
bool PlanEdit(const FillDocument& doc, const HashTarget& t, std::vector<TextEdit>& edits,
              std::wstring& status)
{
    const std::vector<ElementInfo>& elements = doc.map.Elements();
    const std::wstring& text = doc.map.Text();
    const std::wstring hex = Sha256Text(t.digest);
    const std::wstring element = std::wstring(L"<") + t.hashName + L">" + hex + L"</" +
                                 t.hashName + L">";
    ElementExtent extent;
    const int existing = doc.map.FindChild(t.container, t.hashName, true);
    if (existing >= 0) {
        const ElementInfo& e = elements[existing];
        Sha256Digest old;
        if (ParseSha256Text(e.data, old) && old == t.digest) {
            status = L"already right";
            return true;
        }
        if (!doc.map.ExtentOf(existing, extent))
            return false;
        if (extent.emptyTag)
            edits.push_back({static_cast<size_t>(e.start), extent.end, element});
        else
            edits.push_back({extent.startTagEnd, extent.endTagBegin, hex});
        status = L"replaced " + Quoted(e.data) + L" with";
        return true;
    }
    // Before the hash the installer reads after this one, else last in the container.
    const int follower = t.followedBy ? doc.map.FindChild(t.container, t.followedBy, true) : -1;
    size_t anchor = 0;
    if (follower >= 0)
        anchor = static_cast<size_t>(elements[follower].start);
    else if (doc.map.ExtentOf(t.container, extent))
        anchor = extent.endTagBegin;
    else
        return false;
    int sibling = -1;
    for (int j = t.container + 1; j < elements[t.container].subtreeEnd &&
                                  static_cast<size_t>(elements[j].start) < anchor;
         j = elements[j].subtreeEnd)
        sibling = j;
    status = L"inserted";
    const size_t siblingStart = sibling >= 0 ? static_cast<size_t>(elements[sibling].start) : 0;
    if (sibling >= 0 && StartsItsLine(text, anchor) && StartsItsLine(text, siblingStart)) {
        // A line of its own before the anchor's line, indented like the sibling above it.
        const size_t line = LineStart(text, anchor);
        const size_t indent = LineStart(text, siblingStart);
        edits.push_back({line, line,
                         text.substr(indent, siblingStart - indent) + element +
                             LineBreakBefore(text, line)});
    } else {
        edits.push_back({anchor, anchor, element});
    }
    return true;
}

// What the installer reads from a map, hashes aside: element names, and the values of the
// elements without children.
std::vector<std::pair<std::wstring, std::wstring>> ReadOtherThanHashes(const CDocumentMap& map)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    for (const ElementInfo& e : map.Elements()) {
        if (e.visited && !IsHashElement(e.name))
            values.emplace_back(e.name, e.children == 0 ? e.data : std::wstring());
    }
    return values;
}

// The edited text, read by the installer's reader, gives every target its hash and reads
// everything else as before.
bool ReadsAsIntended(const FillDocument& doc, const std::wstring& edited,
                     const std::vector<const HashTarget*>& filled)
{
    CDocumentMap after;
    XmlTextRead read;
    read.success = true;
    read.text = edited;
    read.encoding = doc.file.read.encoding;
    MapAsRead(after, read, doc.kind);
    if (!after.WellFormed() || ReadOtherThanHashes(after) != ReadOtherThanHashes(doc.map))
        return false;
    const std::map<std::wstring, std::vector<int>> byName = IndexByName(after);
    for (const HashTarget* t : filled) {
        const auto named = byName.find(doc.map.Elements()[t->container].name);
        const bool found =
            named != byName.end() && t->ordinal < static_cast<int>(named->second.size());
        const int container = found ? named->second[t->ordinal] : -1;
        const int hash = container >= 0 ? after.FindChild(container, t->hashName, true) : -1;
        Sha256Digest digest;
        if (hash < 0 || !ParseSha256Text(after.Elements()[hash].data, digest) ||
            digest != t->digest)
            return false;
    }
    return true;
}

void Fill(FillDocument& doc, CCheckReport& report)
{
    report.Line((doc.kind == DocumentKind::Manifest ? L"manifest: " : L"version document: ") +
                doc.path);
    if (!doc.failure.empty()) {
        report.Failure(L"no hashes are filled in: " + doc.failure);
        return;
    }
    if (doc.targets.empty()) {
        report.Line(L"nothing to fill in: no item the installer reads has an address");
        return;
    }
    std::vector<TextEdit> edits;
    std::vector<const HashTarget*> filled;
    int inserted = 0;
    for (const HashTarget& t : doc.targets) {
        const std::wstring where = AtLine(t.line) + t.label + L": ";
        std::wstring status;
        if (!t.failure.empty()) {
            report.Failure(where + t.failure + L"; its hash is left as it was");
            continue;
        }
        if (!PlanEdit(doc, t, edits, status)) {
            report.Failure(where + L"the place of the hash cannot be found; it is left as it was");
            continue;
        }
        filled.push_back(&t);
        inserted += status == L"inserted" ? 1 : 0;
        report.Line(where + status + L" " + Sha256Text(t.digest) + L" (" + t.relative + L")");
    }
    if (edits.empty()) {
        report.Line(L"the file is unchanged");
        return;
    }
    const std::wstring failed = L"no hashes are written to " + doc.path + L": ";
    std::string bytes;
    std::wstring problem;
    if (!ReadsAsIntended(doc, ApplyEdits(doc.map.Text(), edits), filled)) {
        report.Failure(failed + L"the changed file would not read as intended; it is unchanged");
        return;
    }
    if (!RewriteBytes(doc.file, edits, bytes, problem)) {
        report.Failure(failed + problem);
        return;
    }
    if (!ReplaceFileBytes(doc.path, bytes, problem)) {
        report.Failure(failed + problem + L"; it is unchanged");
        return;
    }
    const int count = static_cast<int>(edits.size());
    report.Line(L"written: " + Decimal(count) + (count == 1 ? L" hash (" : L" hashes (") +
                Decimal(inserted) + L" inserted, " + Decimal(count - inserted) + L" replaced)");
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void FillHashes(const std::wstring& folder, const std::wstring& manifest,
                const std::wstring& versionDocument, CCheckReport& report)
{
    report.Line(L"payload folder: " + folder);
    if (!IsFolder(folder)) {
        report.Failure(L"the payload folder " + folder + L" does not exist or is not a "
                       L"folder; no hashes are filled in");
        return;
    }
    std::vector<std::unique_ptr<FillDocument>> documents;
    documents.push_back(LoadForFill(manifest, DocumentKind::Manifest));
    if (!versionDocument.empty())
        documents.push_back(LoadForFill(versionDocument, DocumentKind::VersionDocument));
    std::vector<HashTarget*> targets;
    for (auto& doc : documents) {
        for (HashTarget& t : doc->targets)
            targets.push_back(&t);
    }
    FindAndHash(folder, targets);
    for (auto& doc : documents)
        Fill(*doc, report);
}
