// The help viewer with the delivered help file: contents, the three topics the programs
// open, the keyword index filtered as the user types, and a missing file.
#include "tests/support/UiTestSupport.h"
#include "ui/qt/Help.h"
#include "ui/qt/HelpViewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QtTest>

using namespace quillet::ui;
using namespace quillet::test;

class HelpTest : public QObject {
    Q_OBJECT

    QString helpFile = QString::fromLocal8Bit(qgetenv("QUILLET_BIN_DIR")) + "/Quillet.hlp";

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(helpFile), qPrintable(helpFile)); }
    void cleanup() { HelpEngine::setInstance(nullptr); }

    void theDeliveredFileHasEveryTopicAndAnIndex();
    void indexIsFilteredAsYouType();
    void textFitsTheViewerWithoutSideways();
    void requestsGoThroughTheSeamWithTheHelpFile();
    void viewerFollowsTheRequests();
    void missingHelpFileIsReported();
};

void HelpTest::theDeliveredFileHasEveryTopicAndAnIndex() {
    THelpViewer viewer;
    QVERIFY(viewer.load(helpFile));
    for (int topic : {61, 160, 190}) {
        QVERIFY2(viewer.showTopic(topic), qPrintable(QString::number(topic)));
        QCOMPARE(viewer.currentAnchor(), QStringLiteral("topic%1").arg(topic));
    }
    QVERIFY(!viewer.showTopic(4711));
    QCOMPARE(viewer.currentAnchor(), QStringLiteral("contents"));
    QVERIFY(viewer.findChild<QLabel*>("lblStatus")->text().contains("4711"));

    // Every keyword leads to an anchor that exists, so no index entry is a dead end.
    QFile file(helpFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::string html = file.readAll().toStdString();
    const auto keywords = ParseHelpIndex(html);
    QVERIFY(keywords.size() >= 40);
    for (const auto& k : keywords)
        QVERIFY2(HasHelpAnchor(html, k.anchor), (k.text + " -> " + k.anchor).c_str());
    QVERIFY(HasHelpAnchor(html, "contents"));
}

void HelpTest::indexIsFilteredAsYouType() {
    THelpViewer viewer;
    QVERIFY(viewer.load(helpFile));
    viewer.show();
    const int all = viewer.visibleKeywords().size();
    QVERIFY(all >= 40);
    auto* box = viewer.findChild<QLineEdit*>("edtKeyword");
    QTest::keyClicks(box, "sch");
    const QStringList some = viewer.visibleKeywords();
    QVERIFY(!some.isEmpty());
    QVERIFY(some.size() < all);
    for (const QString& k : some)
        QVERIFY2(k.contains("sch", Qt::CaseInsensitive), qPrintable(k));
    QVERIFY(some.first().startsWith("sch", Qt::CaseInsensitive)); // prefix matches first
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!viewer.currentAnchor().isEmpty());
    QVERIFY(viewer.currentAnchor() != "contents");
    QTest::keyClicks(box, "zzzz");
    QVERIFY(viewer.visibleKeywords().isEmpty());
    box->clear();
    QCOMPARE(viewer.visibleKeywords().size(), all);
}

// Long command lines wrap: no page of the delivered file needs a sideways scroll bar
// in a viewer of the size it opens with.
void HelpTest::textFitsTheViewerWithoutSideways() {
    THelpViewer viewer;
    QVERIFY(viewer.load(helpFile));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    auto* text = viewer.findChild<QTextBrowser*>("HelpText");
    QVERIFY(text->document()->idealWidth() > 0);
    QVERIFY2(text->document()->idealWidth() <= text->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2")
                            .arg(text->document()->idealWidth())
                            .arg(text->viewport()->width())));
}

void HelpTest::requestsGoThroughTheSeamWithTheHelpFile() {
    auto& help = RecordingHelp::install();
    SetHelpFile("/opt/quillet/Quillet.hlp");
    ShowHelpContents(nullptr);
    ShowHelpSearch(nullptr, QString());
    ShowHelpTopic(nullptr, HelpTopicScheduler);
    QCOMPARE(help.requests.size(), 3u);
    QCOMPARE(help.requests[0].kind, QStringLiteral("contents"));
    QCOMPARE(help.requests[1].kind, QStringLiteral("search"));
    QCOMPARE(help.requests[2].topic, 190);
    for (const auto& r : help.requests)
        QCOMPARE(r.helpFile, QStringLiteral("/opt/quillet/Quillet.hlp"));
}

void HelpTest::viewerFollowsTheRequests() {
    UiWorld world;
    SetHelpFile(helpFile);
    QWidget owner;
    owner.show();
    ShowHelpTopic(&owner, HelpTopicAbout);
    THelpViewer* viewer = owner.findChild<THelpViewer*>("HelpViewer");
    QVERIFY(viewer); // a child window of the asker, so it works beside a modal box too
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->isWindow());
    QCOMPARE(viewer->currentAnchor(), QStringLiteral("topic61"));
    ShowHelpContents(&owner);
    QCOMPARE(viewer->currentAnchor(), QStringLiteral("contents"));
    ShowHelpSearch(&owner, "rep");
    QCOMPARE(viewer->findChild<QLineEdit*>("edtKeyword")->text(), QStringLiteral("rep"));
    for (const QString& k : viewer->visibleKeywords())
        QVERIFY(k.contains("rep", Qt::CaseInsensitive));

    // Another asker takes the same viewer over.
    QWidget other;
    other.show();
    ShowHelpTopic(&other, HelpTopicScheduler);
    QCOMPARE(other.findChild<THelpViewer*>("HelpViewer"), viewer);
    QCOMPARE(viewer->currentAnchor(), QStringLiteral("topic190"));
    QVERIFY(world.dialogs.shown.empty());
}

void HelpTest::missingHelpFileIsReported() {
    UiWorld world;
    SetHelpFile(world.file("Quillet.hlp"));
    QWidget owner;
    ShowHelpContents(&owner);
    QCOMPARE(world.dialogs.shown.size(), 1u);
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("error"));
    QVERIFY(world.dialogs.shown[0].text.contains(world.file("Quillet.hlp")));
}

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
