// The operator's boxes as Qt dialogs, answered by a timer the way an operator would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

#include "app/window/qt_operator_dialogs.h"

namespace tavrin {
namespace {

// Runs Answer on the modal box once it is up.
void WhenTheBoxShows(std::function<void(QWidget& Box)> Answer) {
  QTimer::singleShot(0, [Answer = std::move(Answer)] {
    QWidget* Box = QApplication::activeModalWidget();
    ASSERT_NE(Box, nullptr);
    Answer(*Box);
  });
}

QPushButton* ButtonWithText(QWidget& Box, const QString& Text) {
  for (QPushButton* Button : Box.findChildren<QPushButton*>()) {
    if (Button->text() == Text) return Button;
  }
  return nullptr;
}

TEST(QtOperatorDialogs, TheInputBoxOffersItsTextsAndLimitAndAnswersOkOrCancel) {
  TQtOperatorDialogs Dialogs;
  QString Title, Initial;
  int MaxLength = 0;
  WhenTheBoxShows([&](QWidget& Box) {
    Title = Box.windowTitle();
    auto* Field = Box.findChild<QLineEdit*>();
    ASSERT_NE(Field, nullptr);
    Initial = Field->text();
    MaxLength = Field->maxLength();
    ASSERT_NE(ButtonWithText(Box, "Cancel"), nullptr);
    Field->setText(QString::fromUtf8("d:\\Dados ção"));
    ButtonWithText(Box, "OK")->click();
  });
  EXPECT_EQ(Dialogs.InputBox("Conex\u00e3o", "Informe:", "s:\\wzultab.ser", 255), "d:\\Dados \u00e7\u00e3o");
  EXPECT_EQ(Title, QString::fromUtf8("Conexão"));
  EXPECT_EQ(Initial, "s:\\wzultab.ser");
  EXPECT_EQ(MaxLength, 255);

  WhenTheBoxShows([](QWidget& Box) { ButtonWithText(Box, "Cancel")->click(); });
  EXPECT_EQ(Dialogs.InputBox("C", "P", "x", 255), std::nullopt);
}

TEST(QtOperatorDialogs, TheErrorBoxShowsItsTextWithTheErrorIcon) {
  TQtOperatorDialogs Dialogs;
  QString Title, Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  WhenTheBoxShows([&](QWidget& Box) {
    auto& Message = dynamic_cast<QMessageBox&>(Box);
    Title = Message.windowTitle();
    Text = Message.text();
    Icon = Message.icon();
    Message.button(QMessageBox::Ok)->click();
  });
  Dialogs.ErrorBox("Erro", "N\u00e3o foi localizado");
  EXPECT_EQ(Title, "Erro");
  EXPECT_EQ(Text, QString::fromUtf8("Não foi localizado"));
  EXPECT_EQ(Icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace tavrin
