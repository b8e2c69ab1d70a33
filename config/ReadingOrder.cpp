#include "config/ReadingOrder.h"

#include <algorithm>

namespace {

// Past this many, skipped elements are counted rather than listed: a generated file with
// thousands of unknown elements should still give a readable report and a short log.
constexpr int kMaxListedSkips = 200;

bool Contains(const std::vector<const wchar_t*>& names, const std::wstring& name)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const wchar_t* n) { return name == n; });
}

int RankOf(const ContainerOrder& order, const std::wstring& name)
{
    for (size_t i = 0; i < order.children.size(); ++i) {
        if (name == order.children[i])
            return static_cast<int>(i);
    }
    return -1;
}

const ContainerOrder* FindOrder(const ReadingOrders& orders, const std::wstring& container)
{
    for (const ContainerOrder& order : orders) {
        if (container == order.container)
            return &order;
    }
    return nullptr;
}

// Where else an element of this name is read: "only inside `a`, `b` or `c`", "only as the
// root element"; empty when nowhere.
std::wstring HomesOf(const ReadingOrders& orders, const std::wstring& name,
                     const ContainerOrder* except)
{
    std::vector<std::wstring> homes;
    for (const ContainerOrder& order : orders) {
        if (&order != except && RankOf(order, name) >= 0)
            homes.push_back(*order.container ? L"`" + std::wstring(order.container) + L"`"
                                             : std::wstring());
    }
    if (homes.size() == 1 && homes[0].empty())
        return L"only as the root element";
    std::wstring text;
    for (size_t i = 0; i < homes.size(); ++i) {
        if (i > 0)
            text += i + 1 == homes.size() ? L" or " : L", ";
        text += homes[i];
    }
    return text.empty() ? text : L"only inside " + text;
}

std::wstring Decimal(long long value)
{
    return std::to_wstring(value);
}

std::wstring Tick(const std::wstring& name)
{
    return L"`" + name + L"`";
}

// "`name` at line N", and how many elements inside it go unread with it.
std::wstring NameAndLine(const ElementInfo& e, int inside = 0)
{
    std::wstring text = Tick(e.name) + L" at line " + Decimal(e.line);
    if (inside > 0)
        text += L" (with the " + Decimal(inside) + (inside == 1 ? L" element" : L" elements") +
                L" inside it)";
    return text;
}

std::wstring ChildrenOf(const ContainerOrder& order)
{
    return *order.container ? L"the installer reads " + Tick(order.container) +
                                  L" children in the order "
                            : std::wstring(L"the installer reads at the top level ");
}

// The first visited sibling after element i with this name; -1 when none.
int NextVisitedSibling(const std::vector<ElementInfo>& elements, int parent, int i,
                       const std::wstring& name)
{
    for (int j = elements[i].subtreeEnd; j < elements[parent].subtreeEnd;
         j = elements[j].subtreeEnd) {
        if (elements[j].visited && elements[j].name == name)
            return j;
    }
    return -1;
}

// Why the reader never found element i, whose parent it did visit.
std::wstring Explain(const CDocumentMap& map, const ReadingOrders& orders, int i)
{
    const std::vector<ElementInfo>& elements = map.Elements();
    const ElementInfo& e = elements[i];
    const std::wstring subject = NameAndLine(e, map.CountDescendants(i));
    const int parentIndex = e.parent;
    const ElementInfo& parent = elements[parentIndex];
    const ContainerOrder* order = FindOrder(orders, parent.name);
    if (!order)
        return subject + L" stands inside " + Tick(parent.name) + L" (line " +
               Decimal(parent.line) + L"), whose value the installer takes as text; an element "
               L"inside a value is not read and leaves that value empty";

    const int rank = RankOf(*order, e.name);
    if (rank < 0) {
        const std::wstring homes = HomesOf(orders, e.name, order);
        if (!homes.empty())
            return subject + L" is not read inside " + Tick(parent.name) +
                   L"; the installer reads it " + homes;
        return subject + L" is not an element the installer knows (inside " +
               Tick(parent.name) + L")";
    }

    // Siblings in document order: before e, the same name read once already; after e, an
    // element the installer reads earlier, whose match moved the search past e.
    const bool repeated = Contains(order->repeated, e.name);
    for (int j = parentIndex + 1; j < parent.subtreeEnd; j = elements[j].subtreeEnd) {
        const ElementInfo& s = elements[j];
        if (!s.visited)
            continue;
        if (j < i && !repeated && s.name == e.name)
            return subject + L" is a second " + Tick(e.name) + L" in " +
                   Tick(parent.name) + L"; the installer reads only the first (line " +
                   Decimal(s.line) + L")";
        if (j > i && RankOf(*order, s.name) < rank) {
            std::wstring text = subject + L" comes before " + Tick(s.name) + L" (line " +
                                Decimal(s.line) + L"); " + ChildrenOf(*order) +
                                DescribeOrder(*order);
            const int instead = NextVisitedSibling(elements, parentIndex, i, e.name);
            if (instead >= 0)
                text += L" (the " + Tick(e.name) + L" at line " +
                        Decimal(elements[instead].line) + L" is read instead)";
            return text;
        }
    }
    return subject + L" is not reached; " + ChildrenOf(*order) + DescribeOrder(*order);
}

} // namespace

const ReadingOrders& ManifestReadingOrders()
{
    static const ReadingOrders orders = {
        {L"", nullptr, {L"pelwebinstaller"}, {}},
        {L"pelwebinstaller", nullptr, {L"web_installer_version", L"product_code", L"product"}, {}},
        {L"product",
         nullptr,
         {L"pid", L"full_name", L"short_name", L"registry", L"standalone",
          L"standalone_version", L"version_check_url", L"main_component", L"language_pack",
          L"dependency"},
         {L"language_pack", L"dependency"}},
        {L"main_component",
         L"name",
         {L"name", L"executable", L"full_url", L"patch_url", L"transform", L"full_sha256",
          L"patch_sha256"},
         {L"transform"}},
        {L"transform", L"lang_id", {L"lang_id", L"name", L"full_url", L"sha256"}, {}},
        {L"language_pack", L"lang_id", {L"lang_id", L"pid", L"name", L"full_url", L"sha256"}, {}},
        {L"dependency", L"name", {L"name", L"full_url", L"install_commandline", L"sha256"}, {}},
    };
    return orders;
}

const ReadingOrders& VersionDocumentReadingOrders()
{
    static const ReadingOrders orders = {
        {L"", nullptr, {L"pelwebinstaller"}, {}},
        {L"pelwebinstaller", nullptr, {L"product_code", L"fresh_install", L"patch_install"}, {}},
        {L"fresh_install",
         nullptr,
         {L"product_version", L"min_web_installer_version", L"web_installer_download_url",
          L"web_installer_sha256"},
         {}},
        {L"patch_install",
         nullptr,
         {L"product_version", L"min_web_installer_version", L"web_installer_download_url",
          L"web_installer_sha256"},
         {}},
    };
    return orders;
}

std::wstring DescribeOrder(const ContainerOrder& order)
{
    std::wstring text;
    bool afterRepeated = false;
    for (const wchar_t* child : order.children) {
        if (!text.empty())
            text += L", ";
        const bool repeated = Contains(order.repeated, child);
        if (repeated)
            text += L"then every ";
        else if (afterRepeated)
            text += L"then ";
        afterRepeated = repeated;
        text += child;
        if (order.keyChild && std::wstring(child) == order.keyChild)
            text += L" (found wherever it stands, the others only after it)";
    }
    return text;
}

std::vector<std::wstring> FindSkippedElements(const CDocumentMap& map,
                                              const ReadingOrders& orders)
{
    const std::vector<ElementInfo>& elements = map.Elements();
    std::vector<bool> explained(elements.size(), false);
    std::vector<std::wstring> findings;
    int found = 0;
    auto warn = [&](const std::wstring& text) {
        if (++found <= kMaxListedSkips)
            findings.push_back(text);
    };

    // A container found without its key child is skipped as a whole: one warning for it.
    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementInfo& e = elements[i];
        const ContainerOrder* order = FindOrder(orders, e.name);
        if (!e.visited || !order || !order->keyChild)
            continue;
        const int index = static_cast<int>(i);
        if (map.FindChild(index, order->keyChild, true) >= 0)
            continue;
        warn(NameAndLine(e, map.CountDescendants(index)) + L" has no " +
             Tick(order->keyChild) + L" child: the installer skips it");
        std::fill(explained.begin() + index + 1, explained.begin() + e.subtreeEnd, true);
    }

    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementInfo& e = elements[i];
        if (e.visited || e.parent < 0 || explained[i] || !elements[e.parent].visited)
            continue;
        warn(Explain(map, orders, static_cast<int>(i)));
    }

    if (found > kMaxListedSkips)
        findings.push_back(Decimal(found - kMaxListedSkips) +
                           L" more skipped elements are not listed");
    return findings;
}
