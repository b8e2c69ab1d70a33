// Parse throughput of CXmlDocument on manifest-like documents of 1 MB and
// 16 MB (1 MB = 1,048,576 UTF-16 units), and on hostile documents of 16 MB
// that must still parse in linear time. Run by hand from the "bench" preset.
#include "xml/XmlDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr size_t kMB = 1u << 20;

// One <language_pack> block after another, as in a manifest with many
// languages: short elements, indentation, an occasional comment, reference
// and CDATA section.
std::wstring ManifestLike(size_t units)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- generated -->\n"
                        L"<pelwebinstaller>\n  <web_installer_version>7.0.0.10</web_installer_version>\n"
                        L"  <product>\n    <pid>VARO-PRO-70</pid>\n";
    const std::wstring close = L"  </product>\n</pelwebinstaller>\n";
    text.reserve(units + 512);
    for (unsigned i = 0; text.size() + close.size() < units; ++i) {
        std::wstring id = std::to_wstring(1000 + i % 9000);
        text += L"    <language_pack>\n      <lang_id>" + id + L"</lang_id>\n";
        text += L"      <pid>VARO-PRO-70-" + id + L"</pid>\n";
        text += (i % 4 == 0) ? L"      <name>Fran&ccedil;ais &amp; Co</name>\n"
                             : L"      <name>Language " + id + L"</name>\n";
        if (i % 8 == 0)
            text += L"      <!-- mirror: secondary -->\n      <note><![CDATA[a < b]]></note>\n";
        text += L"      <full_url type=\"https\">http://127.0.0.1:8470/langpack/language_pack_" + id +
                L".exe</full_url>\n    </language_pack>\n";
    }
    text += close;
    return text;
}

// A 65,536-deep stack of open elements, then nothing but stray end tags.
std::wstring StrayEndTags(size_t units)
{
    std::wstring text;
    text.reserve(units + 16);
    for (unsigned i = 0; i < 65536; ++i)
        text += L"<e" + std::to_wstring(i % 1000) + L">";
    while (text.size() < units)
        text += L"</x>";
    return text;
}

// Start tags that never end: the open elements are closed at the end and
// their children handed up.
std::wstring UnclosedNesting(size_t units)
{
    std::wstring text;
    text.reserve(units + 16);
    while (text.size() < units)
        text += L"<a><b/>";
    return text;
}

enum class Mode
{
    Parse,          // fresh document: allocates and copies the text, then parses
    ParseLoaded,    // fresh document, text moved in (what Load does)
    ParseAgain,     // the same document parses again: its memory is already mapped
};

double BestSeconds(const std::wstring& text, Mode mode, int runs, bool& wellFormed)
{
    double best = 1e30;
    CXmlDocument reused;
    for (int i = 0; i < runs; ++i) {
        CXmlDocument fresh;
        std::wstring moved;
        if (mode == Mode::ParseLoaded)
            moved = text;
        auto t0 = std::chrono::steady_clock::now();
        switch (mode) {
        case Mode::Parse: wellFormed = fresh.Parse(text); break;
        case Mode::ParseLoaded: wellFormed = fresh.ParseLoaded(std::move(moved), CXmlLog()); break;
        case Mode::ParseAgain: wellFormed = reused.Parse(text); break;
        }
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

double Report(const char* label, const std::wstring& text, Mode mode, int runs)
{
    static const char* const kModes[] = {"Parse", "ParseLoaded", "Parse again"};
    bool wellFormed = false;
    double seconds = BestSeconds(text, mode, runs, wellFormed);
    std::printf("%-34s %-12s %6.2f MB  best of %2d: %8.2f ms  %8.1f MB/s  (%s)\n", label,
                kModes[static_cast<int>(mode)], double(text.size()) / kMB, runs, seconds * 1000,
                double(text.size()) / kMB / seconds, wellFormed ? "well-formed" : "not well-formed");
    return seconds;
}

} // namespace

int main()
{
    std::wstring small = ManifestLike(1 * kMB);
    std::wstring large = ManifestLike(16 * kMB);
    for (Mode mode : {Mode::Parse, Mode::ParseLoaded, Mode::ParseAgain}) {
        double t1 = Report("manifest-like", small, mode, 20);
        double t16 = Report("manifest-like", large, mode, 5);
        std::printf("  time ratio 16 MB / 1 MB: %.2f (linear: 16)\n", t16 / t1);
    }
    // What a fresh Parse pays before parsing: copying the text into new memory.
    double copyBest = 1e30;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        std::wstring copy = large;
        auto t1 = std::chrono::steady_clock::now();
        copyBest = std::min(copyBest, std::chrono::duration<double>(t1 - t0).count());
        if (copy.size() != large.size())
            return 1;
    }
    std::printf("  copying the 16 MB text alone (%zu bytes): %.2f ms\n", large.size() * sizeof(wchar_t),
                copyBest * 1000);
    // Scaling: time per MB should stay flat when the text outgrows the caches.
    for (size_t mb : {1, 2, 4, 8, 16, 32}) {
        bool wellFormed = false;
        double seconds = BestSeconds(ManifestLike(mb * kMB), Mode::ParseLoaded, 5, wellFormed);
        std::printf("  ParseLoaded %2zu MB: %8.2f ms  %.2f ms per MB\n", mb, seconds * 1000, seconds * 1000 / mb);
    }
    Report("stray end tags under 65,536 open", StrayEndTags(16 * kMB), Mode::ParseLoaded, 3);
    Report("unclosed nesting", UnclosedNesting(16 * kMB), Mode::ParseLoaded, 3);
    return 0;
}
