#include "ui/dialogs/HomePageDialog.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>

#include "DialogTestSupport.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui::test {
namespace {

TEST_F(DialogTest, HomePageOkStoresTrimmedTextsAndTheFileAndCancelNothing) {
    const std::string file = m_home.WriteFile("index.html", "<html></html>");
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        HomePageDialog dialog(nullptr);
        auto* title = Child<QLineEdit>(&dialog, kTitleLabel);
        EXPECT_EQ(title->text(), QStringLiteral("Welcome to My Website!")) << "the default title";
        EXPECT_TRUE(Child<QRadioButton>(&dialog, kUseGeneratedHomePage)->isChecked());
        TypeInto(title, QStringLiteral("  Holiday photos \t"));
        Child<QPlainTextEdit>(&dialog, kSiteDescriptionLabel)
            ->setPlainText(QStringLiteral("\r\n Pictures of 2026. \n"));
        dialog.UseFile(QString::fromStdString(file));
        EXPECT_TRUE(Child<QRadioButton>(&dialog, kUseHomePageFile)->isChecked());
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();
    }
    EXPECT_EQ(GetMainPageTitle(), "Holiday photos");
    EXPECT_EQ(GetSiteIntro(), "Pictures of 2026.");
    EXPECT_EQ(GetHomePageType(), 1u);
    std::string served;
    EXPECT_TRUE(GetHomePageFile(served));
    EXPECT_EQ(served, file);
}

TEST_F(DialogTest, HomePageFileDeletedSinceItWasChosenShowsTheGeneratedPage) {
    const std::string file = m_home.WriteFile("gone.htm", "<html></html>");
    ASSERT_TRUE(SetHomePageFile(file));
    ASSERT_TRUE(SetHomePageType(1));
    ASSERT_EQ(std::remove(file.c_str()), 0);

    HomePageDialog dialog(nullptr);
    EXPECT_EQ(Child<QLineEdit>(&dialog, kHomePageFileField)->text(), QString());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, kUseGeneratedHomePage)->isChecked());
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(GetHomePageType(), 0u);
    EXPECT_EQ(GetHomePageFileSetting(), "");
}

TEST_F(DialogTest, HomePageFileButtonWithoutAFileStoresTheGeneratedPageAndTextsKeepTheirLimits) {
    HomePageDialog dialog(nullptr);
    Child<QRadioButton>(&dialog, kUseHomePageFile)->setChecked(true);
    auto* title = Child<QLineEdit>(&dialog, kTitleLabel);
    TypeInto(title, QString(100, QLatin1Char('t')));
    EXPECT_EQ(title->text().size(), HomePageDialog::kTitleMaxLength);
    auto* description = Child<QPlainTextEdit>(&dialog, kSiteDescriptionLabel);
    description->setPlainText(QString(300, QChar(0xE9)));
    EXPECT_EQ(description->toPlainText().size(), 254) << "two bytes each in the store";
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(GetHomePageType(), 0u);
    EXPECT_EQ(GetMainPageTitle(), std::string(79, 't')) << "the longest title the store reads back";
}

TEST(HomePageFilter, TheTableFilterBecomesQtNameFilters) {
    EXPECT_EQ(NameFiltersOf(kHtmlFilesFilter.text), QStringList{QStringLiteral("HTML Files (*.htm *.html)")});
    EXPECT_EQ(NameFiltersOf("A|*.a||B|*.b"), QStringList{QStringLiteral("A (*.a)")}) << "|| ends the list";
}

}  // namespace
}  // namespace sarvo::ui::test
