#include "app/window/qt_operator_dialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace tavrin {

namespace {

QString FromUtf8(const std::string& Text) { return QString::fromStdString(Text); }

}  // namespace

std::optional<std::string> TQtOperatorDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                                        const std::string& Initial, int MaxChars) {
  QInputDialog Box(FParent);
  Box.setWindowTitle(FromUtf8(Caption));
  Box.setLabelText(FromUtf8(Prompt));
  Box.setInputMode(QInputDialog::TextInput);
  Box.setTextValue(FromUtf8(Initial));
  Box.setOkButtonText(QStringLiteral("OK"));
  Box.setCancelButtonText(QStringLiteral("Cancel"));
  if (auto* Field = Box.findChild<QLineEdit*>()) Field->setMaxLength(MaxChars);
  if (Box.exec() != QDialog::Accepted) return std::nullopt;
  return Box.textValue().toStdString();
}

void TQtOperatorDialogs::ErrorBox(const std::string& Caption, const std::string& Text) {
  QMessageBox::critical(FParent, FromUtf8(Caption), FromUtf8(Text), QMessageBox::Ok);
}

}  // namespace tavrin
