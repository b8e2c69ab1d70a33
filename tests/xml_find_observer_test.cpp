// The find observer and the main-position offset of CXmlDocument: what the vendor's manifest
// check learns about the elements the installer's readers visit.
#include "config/ManifestInfo.h"
#include "config/ManifestReader.h"
#include "config/VersionDocument.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

int32_t Off(const std::wstring& text, const std::wstring& part, size_t from = 0)
{
    return static_cast<int32_t>(text.find(part, from));
}

class RecordingObserver : public IXmlFindObserver
{
public:
    void OnElementFound(int32_t elementStart) override { starts.push_back(elementStart); }
    bool Saw(int32_t start) const
    {
        return std::find(starts.begin(), starts.end(), start) != starts.end();
    }
    std::vector<int32_t> starts;
};

// Installs an observer for one test and always removes it again, so that a failing test
// cannot leave it installed for the tests after it.
class XmlFindObserverTest : public testing::Test
{
protected:
    void SetUp() override { previous = CXmlDocument::SetFindObserver(&observer); }
    void TearDown() override { CXmlDocument::SetFindObserver(previous); }

    RecordingObserver observer;
    IXmlFindObserver* previous = nullptr;
};

TEST_F(XmlFindObserverTest, ReportsEverySuccessfulSearchAndNothingElse)
{
    const std::wstring text = L"<a><b>x</b><c>y</c><b>z</b></a>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    EXPECT_TRUE(observer.starts.empty()) << "parsing is not a search";

    ASSERT_TRUE(doc.FindElement(L"a"));
    ASSERT_TRUE(doc.FindChildElement(L"c"));
    EXPECT_FALSE(doc.FindChildElement(L"missing"));
    ASSERT_TRUE(doc.FindChildElement(L"b"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_FALSE(doc.FindElement(L"c")) << "no c after the second b";
    EXPECT_TRUE(doc.LeaveElement());

    const std::vector<int32_t> expected = {Off(text, L"<a>"), Off(text, L"<c>"),
                                           Off(text, L"<b>", Off(text, L"<c>"))};
    EXPECT_EQ(observer.starts, expected) << "steps and failed searches report nothing";
}

TEST_F(XmlFindObserverTest, ChildSearchFromNoPositionReportsBothElements)
{
    // FindChildElement with no main position first moves to the first element.
    const std::wstring text = L"<r><k/></r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    ASSERT_TRUE(doc.FindChildElement(L"k"));
    const std::vector<int32_t> expected = {Off(text, L"<r>"), Off(text, L"<k/>")};
    EXPECT_EQ(observer.starts, expected);
}

TEST_F(XmlFindObserverTest, RemovedObserverHearsNothingAndTheOldOneIsReturned)
{
    RecordingObserver second;
    EXPECT_EQ(CXmlDocument::SetFindObserver(&second), &observer);
    EXPECT_EQ(CXmlDocument::SetFindObserver(nullptr), &second);

    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<a><b/></a>"));
    ASSERT_TRUE(doc.FindElement(L"a"));
    ASSERT_TRUE(doc.FindChildElement(L"b"));
    EXPECT_TRUE(observer.starts.empty());
    EXPECT_TRUE(second.starts.empty());
}

// The check tool learns what the installer skips by watching the real reader: full_name
// placed before pid is never found, and the children of a transform without lang_id are
// never looked at.
TEST_F(XmlFindObserverTest, ManifestReaderVisitsOnlyWhatItReads)
{
    const std::wstring text =
        L"<pelwebinstaller><product>"
        L"<full_name>F</full_name><pid>P</pid><registry>R</registry>"
        L"<main_component><name>m.msi</name><full_url>u</full_url>"
        L"<transform><name>T</name><full_url>t</full_url></transform>"
        L"<transform><lang_id>1031</lang_id></transform>"
        L"</main_component></product></pelwebinstaller>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    ManifestInfo info;
    ReadManifestDocument(doc, info, nullptr);
    ASSERT_EQ(info.pid, L"P");
    ASSERT_EQ(info.fullName, L"");

    EXPECT_TRUE(observer.Saw(Off(text, L"<pelwebinstaller>")));
    EXPECT_TRUE(observer.Saw(Off(text, L"<product>")));
    EXPECT_TRUE(observer.Saw(Off(text, L"<pid>")));
    EXPECT_TRUE(observer.Saw(Off(text, L"<registry>")));
    EXPECT_FALSE(observer.Saw(Off(text, L"<full_name>")));

    const int32_t firstTransform = Off(text, L"<transform>");
    EXPECT_TRUE(observer.Saw(firstTransform)) << "the transform itself is found";
    EXPECT_FALSE(observer.Saw(Off(text, L"<name>T", firstTransform)));
    EXPECT_FALSE(observer.Saw(Off(text, L"<full_url>t", firstTransform)));
    EXPECT_TRUE(observer.Saw(Off(text, L"<lang_id>1031")));
}

TEST_F(XmlFindObserverTest, VersionDocumentReaderSkipsPatchInstallBeforeFreshInstall)
{
    const std::wstring text =
        L"<pelwebinstaller><patch_install><product_version>7.1.0.5</product_version>"
        L"</patch_install><fresh_install><product_version>7.0.0.1</product_version>"
        L"</fresh_install></pelwebinstaller>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(text));
    ManifestInfo info;
    ReadVersionDocumentData(doc, info);
    ASSERT_EQ(info.freshInstall.productVersion, L"7.0.0.1");
    EXPECT_TRUE(observer.Saw(Off(text, L"<fresh_install>")));
    EXPECT_FALSE(observer.Saw(Off(text, L"<patch_install>")));
    EXPECT_FALSE(observer.Saw(Off(text, L"<product_version>7.1")));
}

TEST(XmlMainElementStart, FollowsTheMainPosition)
{
    const std::wstring text = L"<!-- c --><a><b/><c>x</c></a>";
    CXmlDocument doc;
    EXPECT_EQ(doc.GetMainElementStart(), -1) << "fresh document";
    ASSERT_TRUE(doc.Parse(text));
    EXPECT_EQ(doc.GetMainElementStart(), -1);
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetMainElementStart(), Off(text, L"<a>"));
    ASSERT_TRUE(doc.FindChildElement(L"c"));
    EXPECT_EQ(doc.GetMainElementStart(), Off(text, L"<a>")) << "a child search keeps the main";
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetMainElementStart(), Off(text, L"<c>"));
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetMainElementStart(), Off(text, L"<c>"));
    ASSERT_TRUE(doc.FindChildElement() == false);
    // Entering with no child position stands before the first child: no element.
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetMainElementStart(), -1);
}

TEST(XmlMainElementStart, ReparseResetsThePosition)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(L"<a/>"));
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetMainElementStart(), 0);
    EXPECT_FALSE(doc.Parse(L"not xml"));
    EXPECT_EQ(doc.GetMainElementStart(), -1);
}

} // namespace
