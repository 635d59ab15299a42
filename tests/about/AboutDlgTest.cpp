#include "app/AboutDlg.h"
#include "app/LinkStatic.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

namespace {

QString TextOf(const QDialog& box, const char* name) {
    const auto* label = box.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

} // namespace

class CAboutDlgTest : public QObject {
    Q_OBJECT

private slots:
    void textsAndAddresses();
    void okHasTheFocusAndEndsTheBox();
    void textsFitTheirPlaces();
    void clickOpensHomePageAndNextBoxStartsUnvisited();
};

void CAboutDlgTest::textsAndAddresses() {
    CAboutDlg box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About Vorpex"));
    QCOMPARE(TextOf(box, "version"), QStringLiteral("Vorpex Version 0.3 08-18-1998"));
    QCOMPARE(TextOf(box, "updates"), QStringLiteral("For the latest updates and news about Vorpex see:"));
    QVERIFY(TextOf(box, "copyright").contains(QStringLiteral("Freeware")));
    QVERIFY(TextOf(box, "credits").contains(QStringLiteral("icons")));
    QCOMPARE(TextOf(box, "blank"), QString());

    // The box shows the page address; the link opens, and its tooltip shows, the home page above it.
    auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
    QVERIFY(link);
    const QString page = link->text();
    QCOMPARE(page, QString::fromLatin1(CAboutDlg::kPageAddress));
    QCOMPARE(link->LinkURL(), page.left(page.lastIndexOf(QLatin1Char('/')) + 1));
    QVERIFY(link->LinkURL() != page);
    QCOMPARE(link->toolTip(), link->LinkURL());
    QCOMPARE(QUrl(page).host(), QStringLiteral("www.example.com"));
    QVERIFY(link->font().underline());
    QCOMPARE(link->width(), QFontMetrics(link->font()).horizontalAdvance(page));

    // No picture anywhere in the box.
    for (const QLabel* label : box.findChildren<QLabel*>())
        QVERIFY(label->pixmap().isNull());
}

void CAboutDlgTest::okHasTheFocusAndEndsTheBox() {
    CAboutDlg box;
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("ok"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), ok);

    QTest::keyClick(&box, Qt::Key_Return);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));

    CAboutDlg escaped;
    escaped.show();
    QVERIFY(QTest::qWaitForWindowActive(&escaped));
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QVERIFY(!escaped.isVisible());
    QCOMPARE(escaped.result(), int(QDialog::Rejected));
}

// At whatever font the box gets, no text is cut off and everything lies inside the box.
void CAboutDlgTest::textsFitTheirPlaces() {
    CAboutDlg box;
    const QRect inside(QPoint(0, 0), box.size());
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->objectName()));
        QVERIFY2(inside.contains(label->geometry()), qPrintable(label->objectName()));
    }
    const auto* ok = box.findChild<QPushButton*>(QStringLiteral("ok"));
    QVERIFY(inside.contains(ok->geometry()));

    // Ask for a screenshot with VORPEX_ABOUT_SCREENSHOT=<file.png>.
    const QString shot = qEnvironmentVariable("VORPEX_ABOUT_SCREENSHOT");
    if (!shot.isEmpty()) {
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.grab().save(shot));
    }
}

void CAboutDlgTest::clickOpensHomePageAndNextBoxStartsUnvisited() {
    QStringList opened;
    {
        CAboutDlg box;
        auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
        link->SetOpener([&](const QString& url) {
            opened.append(url);
            return CLinkStatic::kOpenSucceeded;
        });
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(link->IsLinkVisited());
    }
    QCOMPARE(opened, QStringList{QString::fromLatin1(CAboutDlg::kHomeAddress)});

    CAboutDlg again;
    auto* link = again.findChild<CLinkStatic*>(QStringLiteral("link"));
    QVERIFY(!link->IsLinkVisited());
    QCOMPARE(link->CtlColor(), QColor(0, 0, 238));
}

QTEST_MAIN(CAboutDlgTest)
#include "AboutDlgTest.moc"
