#include "app/window/main_window.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "shell/data_folder.h"
#include "shell/failure_report.h"
#include "shell/shell_constants.h"

namespace tavrin {
namespace {

// Faces of about Tahoma's width, for desktops without it (Qt takes the first present).
constexpr std::string_view kFontStandIns[] = {"DejaVu Sans Condensed", "DejaVu Sans"};

QColor ToQColor(const form::TRgb& Colour) { return {Colour.Red, Colour.Green, Colour.Blue}; }

QString ToQString(std::string_view Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

void RegisterFontStandIns() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    QStringList StandIns;
    for (std::string_view Face : kFontStandIns) StandIns << ToQString(Face);
    QFont::insertSubstitutions(ToQString(form::kFontFace), StandIns);
  });
}

void SetTextColour(QWidget& Widget, const QColor& Colour) {
  QPalette Palette = Widget.palette();
  Palette.setColor(QPalette::WindowText, Colour);
  Widget.setPalette(Palette);
}

}  // namespace

int PrimaryScreenDpi() {
  const QScreen* Screen = QGuiApplication::primaryScreen();
  return Screen != nullptr ? qRound(Screen->logicalDotsPerInch()) : kDesignDpi;
}

TfrmInicial::TfrmInicial(IStartUpWork& Work, std::function<void(int)> OnEndProgram, int Dpi,
                         QWidget* Parent)
    : QWidget(Parent),
      Label1(new QLabel(this)),
      LabelIP(new QLabel(this)),
      LabelIPInternet(new QLabel(this)),
      Label3(new QLabel(this)),
      Label2(new QLabel(this)),
      Label4(new QLabel(this)),
      MemoLog(new QPlainTextEdit(this)),
      StatusBar1(new QStatusBar(this)),
      OnError([this](const std::string& Message) { ShowFailureBox(Message); }),
      FWork(Work),
      FOnEndProgram(std::move(OnEndProgram)),
      FDpi(Dpi) {
  RegisterFontStandIns();
  setWindowTitle(ToQString(shell::kWindowCaption));
  QPalette Palette = palette();
  Palette.setColor(QPalette::Window, Palette.color(QPalette::Button));
  setPalette(Palette);
  QFont Font(ToQString(form::kFontFace));
  Font.setPixelSize(Scale(form::kWindowFontPixels));
  setFont(Font);
  FDesignClient = QSize(Scale(form::kClientWidth), Scale(form::kClientHeight));
  resize(FDesignClient);
  CreateControls();
}

int TfrmInicial::Scale(int Design) const { return form::ScaleToDpi(Design, FDpi); }

QWidget* TfrmInicial::ControlOf(std::string_view Name) const {
  const std::pair<QWidget*, std::string_view> Members[] = {
      {Label1, "Label1"}, {LabelIP, "LabelIP"}, {LabelIPInternet, "LabelIPInternet"},
      {Label3, "Label3"}, {Label2, "Label2"},   {Label4, "Label4"},
      {MemoLog, "MemoLog"}, {StatusBar1, "StatusBar1"},
  };
  for (const auto& [Widget, MemberName] : Members) {
    if (MemberName == Name) return Widget;
  }
  return nullptr;
}

void TfrmInicial::CreateControls() {
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    const form::TControl& Design = form::kControls[Index];
    QWidget* Widget = ControlOf(Design.Name);
    Widget->setObjectName(ToQString(Design.Name));
    const form::TBounds Scaled = form::ScaleToDpi(Design.Bounds, FDpi);
    QRect Bounds(Scaled.Left, Scaled.Top, Scaled.Width, Scaled.Height);
    if (Design.FontPixels != form::kWindowFontPixels) {
      QFont Font = Widget->font();
      Font.setPixelSize(Scale(Design.FontPixels));
      Widget->setFont(Font);
    }
    if (Design.Colour == form::TTextColour::Navy) SetTextColour(*Widget, ToQColor(form::kNavy));
    switch (Design.Kind) {
      case form::TControlKind::FixedLabel:
      case form::TControlKind::SizedLabel: {
        auto* Label = static_cast<QLabel*>(Widget);
        Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        Label->setText(ToQString(Design.Text));
        if (Design.Kind == form::TControlKind::FixedLabel) {
          Label->setWordWrap(true);
        } else {
          // The designed size is that of the text in the designed face, so a wider
          // stand-in face widens it rather than cutting the text.
          Bounds.setSize(Bounds.size().expandedTo(Label->fontMetrics().size(Qt::TextSingleLine, Label->text())));
        }
        break;
      }
      case form::TControlKind::LogBox:
        MemoLog->setReadOnly(true);
        MemoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        // The only control that takes the focus, so the first in the tab order.
        MemoLog->setFocusPolicy(Qt::StrongFocus);
        break;
      case form::TControlKind::StatusBar:
        // Docked at the bottom across the client area: its top follows the client's height.
        Bounds = QRect(0, FDesignClient.height() - Bounds.height(), FDesignClient.width(), Bounds.height());
        break;
    }
    FControlBounds[Index] = Bounds;
    Widget->setGeometry(Bounds);
  }
  Label2->setCursor(Qt::PointingHandCursor);
  Label2->installEventFilter(this);
  ApplyAnchors();
}

void TfrmInicial::ApplyAnchors() {
  for (std::size_t Index = 0; Index < form::kControls.size(); ++Index) {
    const QRect& Placed = FControlBounds[Index];
    const form::TBounds Bounds =
        form::Anchored(form::kControls[Index], {Placed.left(), Placed.top(), Placed.width(), Placed.height()},
                       FDesignClient.width(), FDesignClient.height(), width(), height());
    ControlOf(form::kControls[Index].Name)->setGeometry(Bounds.Left, Bounds.Top, Bounds.Width, Bounds.Height);
  }
}

void TfrmInicial::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  ApplyAnchors();
}

void TfrmInicial::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (FPlaced) return;
  FPlaced = true;
  if (const QScreen* Screen = screen(); Screen != nullptr) {
    QRect Frame = frameGeometry();
    Frame.moveCenter(Screen->geometry().center());
    move(Frame.topLeft());
  }
}

bool TfrmInicial::event(QEvent* Event) {
  const bool Handled = QWidget::event(Event);
  if (Event->type() == QEvent::WindowActivate && !FActivated) FormActivate();
  return Handled;
}

bool TfrmInicial::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == Label2) {
    switch (Event->type()) {
      case QEvent::Enter:
        Label2MouseEnter();
        break;
      case QEvent::Leave:
        Label2MouseLeave();
        break;
      case QEvent::MouseButtonRelease: {
        const auto* Mouse = static_cast<const QMouseEvent*>(Event);
        if (Mouse->button() == Qt::LeftButton && Label2->rect().contains(Mouse->position().toPoint())) {
          RunReportingFailure([this] { Label2Click(); });
        }
        break;
      }
      default:
        break;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}

void TfrmInicial::FormActivate() {
  // First of all, so that an activation during the work (a box closing, the window
  // painted below) or after a failure does not start it again.
  FActivated = true;
  RunReportingFailure([this] {
    const std::optional<std::string> Folder = FWork.ResolveDataFolder();
    if (!Folder) {
      FOnEndProgram(shell::kExitCodeNoDatabase);
      return;
    }
    StatusBar1->showMessage(QString::fromStdString(DataFolderStatusText(*Folder)));
    LabelIP->setText(LabelIP->text() + QString::fromStdString(FWork.LanAddress()));
    FWork.LogServerStarted();
    // Paint what is known so far, and show the log lines waiting, before the lookup
    // below holds this thread.
    QCoreApplication::processEvents();
    LabelIPInternet->setText(LabelIPInternet->text() +
                             QString::fromStdString(FWork.InternetAddress()));
  });
}

void TfrmInicial::Label2Click() { FWork.OpenPortCheckPage(); }

namespace {

void ShowLinkLook(QLabel& Link, const form::TLinkLook& Look) {
  SetTextColour(Link, ToQColor(Look.Colour));
  QFont Font = Link.font();
  Font.setUnderline(Look.Underlined);
  Link.setFont(Font);
}

}  // namespace

void TfrmInicial::Label2MouseEnter() { ShowLinkLook(*Label2, form::kLinkHover); }

void TfrmInicial::Label2MouseLeave() { ShowLinkLook(*Label2, form::kLinkLeft); }

void TfrmInicial::RunReportingFailure(const std::function<void()>& Step) {
  shell::RunReportingFailure(Step, OnError);
}

void TfrmInicial::ShowFailureBox(const std::string& Message) {
  QString Caption = QGuiApplication::applicationDisplayName();
  if (Caption.isEmpty()) Caption = ToQString(shell::kFailureBoxCaption);
  QMessageBox::critical(this, Caption, QString::fromStdString(Message));
}

}  // namespace tavrin
