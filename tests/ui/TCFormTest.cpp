// The time-correction dialog: what closing it reports, and only once.

#include "ui/TCForm.h"

#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace kanvio::test {
namespace {

struct Report {
    bool confirmed;
    int32_t seconds;
};

TEST(TCFormTest, ClosingReportsOnceWhetherOkWasPressed) {
    struct Case {
        const char* name;
        std::function<void(TTCForm&)> close;
        bool confirmed;
    };
    const Case cases[] = {
        {"OK button", [](TTCForm& f) { f.btOK()->click(); }, true},
        {"Enter key", [](TTCForm& f) { QTest::keyClick(&f, Qt::Key_Return); }, true},
        {"close box", [](TTCForm& f) { f.close(); }, false},
    };
    for (const Case& c : cases) {
        std::vector<Report> reports;
        auto* form = new TTCForm([&](bool confirmed, int32_t s) {
            reports.push_back({confirmed, s});
        });
        form->setTCValue(-7);
        form->show();
        EXPECT_EQ(form->Tag(), 0);
        c.close(*form);
        delete form;
        ASSERT_EQ(reports.size(), 1u) << c.name;
        EXPECT_EQ(reports[0].confirmed, c.confirmed) << c.name;
        EXPECT_EQ(reports[0].seconds, -7) << c.name;
    }
}

TEST(TCFormTest, TypedValueCountsWithoutLeavingTheField) {
    std::vector<Report> reports;
    TTCForm form([&](bool confirmed, int32_t s) { reports.push_back({confirmed, s}); });
    form.show();
    form.TC()->setFocus();
    QTest::keyClick(form.TC(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form.TC(), "-2147483648");
    form.btOK()->click();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].confirmed);
    EXPECT_EQ(reports[0].seconds, INT32_MIN);
}

TEST(TCFormTest, DialogsKeepTheLatestAndDropOpenOnesSilently) {
    int reports = 0;
    {
        TTimeCorrectionDialogs dialogs;
        dialogs.ShowTimeCorrection(3, [&](bool, int32_t) { ++reports; });
        TTCForm* first = dialogs.TimeCorrectionForm();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->getTCValue(), 3);
        EXPECT_EQ(first->windowTitle(), "_TimeCorrection");
        first->btOK()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dialogs.ShowTimeCorrection(5, [&](bool, int32_t) { ++reports; });
        EXPECT_EQ(dialogs.TimeCorrectionForm()->getTCValue(), 5);
    }
    EXPECT_EQ(reports, 1); // the second one was still open when its owner went
}

} // namespace
} // namespace kanvio::test
