// The time-correction dialog: what closing it reports, and only once.

#include "ui/TCForm.h"

#include <QLabel>
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
        {"Esc key", [](TTCForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false},
        {"Esc in the field", [](TTCForm& f) { QTest::keyClick(f.TC(), Qt::Key_Escape); }, false},
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
        TTimeCorrectionSubject subject;
        subject.FilmName = "a.mpg";
        subject.Seconds = 3;
        dialogs.ShowTimeCorrection(subject, [&](bool, int32_t) { ++reports; });
        TTCForm* first = dialogs.TimeCorrectionForm();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->getTCValue(), 3);
        EXPECT_EQ(first->windowTitle(), "_TimeCorrection");
        first->btOK()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        subject.Seconds = 5;
        dialogs.ShowTimeCorrection(subject, [&](bool, int32_t) { ++reports; });
        EXPECT_EQ(dialogs.TimeCorrectionForm()->getTCValue(), 5);
    }
    EXPECT_EQ(reports, 1); // the second one was still open when its owner went
}

TTimeCorrectionSubject Subject(std::string film) {
    TTimeCorrectionSubject subject;
    subject.Structure = "Haltung H4947-258";
    subject.Distance = 12.625;
    subject.LengthFormat = "0.00";
    subject.LengthUnit = "m";
    subject.Code = "BABBA";
    subject.VideoTime = "00:02:01";
    subject.FilmName = std::move(film);
    subject.Seconds = 4;
    return subject;
}

// The subject line stands above the controls; they keep their places among themselves,
// and the line is never cut.
TEST(TCFormTest, ALineAboveTheControlsNamesObservationAndFilm) {
    TTCForm form([](bool, int32_t) {});
    form.SetSubject(Subject("film10.mpg"));
    form.show();
    const QString text = form.SubjectText();
    for (const char* part : {"Haltung H4947-258", " m", "BABBA", "00:02:01", "film10.mpg"}) {
        EXPECT_TRUE(text.contains(part)) << part << " in " << text.toStdString();
    }
    EXPECT_TRUE(text.contains("12.63") || text.contains("12,63")) << text.toStdString();
    EXPECT_EQ(form.getTCValue(), 4);
    const QLabel* line = form.lbSubject();
    EXPECT_LE(line->geometry().bottom(), form.TC()->geometry().top());
    EXPECT_GE(line->fontMetrics().horizontalAdvance(text), 1);
    EXPECT_LE(line->x() + line->fontMetrics().horizontalAdvance(text), form.width());
    EXPECT_LE(line->x() + line->sizeHint().width(), form.width());
    // The controls as they were laid out before the line came: same offsets among them.
    const QRect tc = form.TC()->geometry();
    const QRect ok = form.btOK()->geometry();
    EXPECT_EQ(tc.size(), QSize(73, 22));
    EXPECT_EQ(ok.size(), QSize(75, 25));
    EXPECT_EQ(ok.top() - tc.top(), 40);
    EXPECT_EQ(ok.left(), tc.left());
    EXPECT_TRUE(form.TC()->isEnabled());
    EXPECT_TRUE(form.btOK()->isEnabled());
}

TEST(TCFormTest, WithoutAFilmTheDialogSaysSoAndCannotBeConfirmed) {
    std::vector<Report> reports;
    auto* form = new TTCForm([&](bool confirmed, int32_t s) { reports.push_back({confirmed, s}); });
    form->SetSubject(Subject(""));
    form->show();
    EXPECT_TRUE(form->SubjectText().endsWith("_TCNoFilm")) << form->SubjectText().toStdString();
    EXPECT_FALSE(form->btOK()->isEnabled());
    EXPECT_FALSE(form->TC()->isEnabled());
    QTest::keyClick(form, Qt::Key_Return);
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(form->isVisible());
    form->close();
    delete form;
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].confirmed);
}

} // namespace
} // namespace kanvio::test
