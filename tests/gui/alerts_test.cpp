#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include "appcore/alert_service.h"
#include "app/message_box_presenter.h"
#include "gui/gui_test_environment.h"
#include "gui/shell_fixture.h"

namespace qm {
namespace {

// Shows an alert through the message box presenter and answers it with the given button; the
// box as shown is described into seen.
struct ShownBox {
    QString caption, text, defaultButton;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

int showAndAnswer(int stringId, bool caution, QMessageBox::StandardButton answer, ShownBox& seen)
{
    MessageBoxPresenter presenter;
    AlertService service(presenter);
    service.setParameters("Harbour Walk");
    test::onNextModal([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_NE(box, nullptr);
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons << b->text().remove('&');
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : "";
        box->button(answer)->click();
    });
    return caution ? service.cautionAlert(stringId) : service.stopAlert(stringId);
}

TEST(MessageBoxPresenter, SaveChangesAsksYesNoCancel)
{
    ShownBox seen;
    EXPECT_EQ(showAndAnswer(142, true, QMessageBox::Yes, seen), 1);
    EXPECT_EQ(seen.caption, " ");
    EXPECT_EQ(seen.text,
              "Would you like to save the changes made to 'Harbour Walk' before closing?");
    EXPECT_EQ(seen.buttons.size(), 3);
    EXPECT_EQ(seen.defaultButton, "Yes");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(showAndAnswer(142, true, QMessageBox::Cancel, seen), 2);
    EXPECT_EQ(showAndAnswer(142, true, QMessageBox::No, seen), 3);
}

TEST(MessageBoxPresenter, ClearComposedMovieDefaultsToCancel)
{
    ShownBox seen;
    EXPECT_EQ(showAndAnswer(160, true, QMessageBox::Cancel, seen), 1);
    EXPECT_EQ(seen.defaultButton, "Cancel");
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_EQ(seen.text,
              "Are you sure you want to clear the \ncomposed QTVR movie from this project?");
    EXPECT_EQ(showAndAnswer(160, true, QMessageBox::Ok, seen), 3);
}

TEST(MessageBoxPresenter, RevertAsksYesNo)
{
    ShownBox seen;
    EXPECT_EQ(showAndAnswer(155, true, QMessageBox::Yes, seen), 1);
    EXPECT_EQ(seen.text, "Are you sure you want to revert to the most recently saved version "
                         "of\n'Harbour Walk'?");
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_EQ(showAndAnswer(155, true, QMessageBox::No, seen), 3);
}

TEST(MessageBoxPresenter, ErrorReportsShowTheMessageAndTheCode)
{
    MessageBoxPresenter presenter;
    AlertService service(presenter);
    QString text;
    QMessageBox::Icon icon{};
    int boxes = 0;
    auto answer = [&] {
        test::onNextModal([&](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            text = box->text();
            icon = box->icon();
            ++boxes;
            box->button(QMessageBox::Ok)->click();
        });
    };
    service.reportError(-128); // silent
    service.reportError(0);
    EXPECT_EQ(boxes, 0);
    answer();
    service.reportError(-43);
    EXPECT_EQ(text, "File not found.(-43)");
    EXPECT_EQ(icon, QMessageBox::Critical);
    answer();
    service.reportError(-2003);
    EXPECT_EQ(text, QString::fromUtf8("Can\u2019t find handler.(-2003)"));
    answer();
    service.setErrorDetail("at offset 12");
    service.reportError(-1);
    EXPECT_EQ(text, "An error occured: (-1)\n\nat offset 12");
    EXPECT_EQ(boxes, 3);
}

} // namespace
} // namespace qm
