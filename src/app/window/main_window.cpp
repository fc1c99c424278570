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
#include "shell/shell_constants.h"

namespace tavrin {
namespace {

// Bounds (left, top, width, height) and font heights in pixels at kDesignDpi.
constexpr QSize kClientSize{568, 447};
constexpr QRect kLabel1Bounds{16, 18, 353, 25};
constexpr QRect kLabelIPBounds{16, 60, 536, 21};
constexpr QRect kLabelIPInternetBounds{16, 86, 536, 21};
constexpr QRect kLabel3Bounds{16, 125, 331, 16};
constexpr QRect kLabel2Bounds{16, 143, 327, 16};
constexpr QRect kLabel4Bounds{16, 180, 155, 16};
constexpr QRect kMemoLogBounds{16, 202, 536, 216};
constexpr int kStatusBarHeight = 19;    // docked at the bottom, across the whole width
constexpr int kWindowFontPixels = 13;   // the window's font, kept by the other controls
constexpr int kTitleFontPixels = 20;    // Label1
constexpr int kAddressFontPixels = 17;  // LabelIP, LabelIPInternet

constexpr std::string_view kFontFamily = "Tahoma";
// Faces of about Tahoma's width, for desktops without it (Qt takes the first present).
constexpr std::string_view kFontStandIns[] = {"DejaVu Sans Condensed", "DejaVu Sans"};

const QColor kNavy{0, 0, 128};
const QColor kLinkHoverColour{0, 0, 255};
const QColor kLinkColour{0, 0, 0};  // after the pointer left: black, whatever the desktop's text colour

QString ToQString(std::string_view Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

void RegisterFontStandIns() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    QStringList StandIns;
    for (std::string_view Face : kFontStandIns) StandIns << ToQString(Face);
    QFont::insertSubstitutions(ToQString(kFontFamily), StandIns);
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
  QFont Font(ToQString(kFontFamily));
  Font.setPixelSize(Scale(kWindowFontPixels));
  setFont(Font);
  FDesignClient = QSize(Scale(kClientSize.width()), Scale(kClientSize.height()));
  resize(FDesignClient);
  CreateControls();
}

int TfrmInicial::Scale(int Design) const {
  // To the nearest pixel; every designed value is positive.
  return (Design * FDpi + kDesignDpi / 2) / kDesignDpi;
}

void TfrmInicial::CreateControls() {
  const auto Scaled = [this](const QRect& Design) {
    return QRect(Scale(Design.left()), Scale(Design.top()), Scale(Design.width()),
                 Scale(Design.height()));
  };
  const auto WithFont = [this](QLabel& Label, int Pixels) {
    QFont Font = Label.font();
    Font.setPixelSize(Scale(Pixels));
    Label.setFont(Font);
  };
  // A label of a fixed size whose text wraps inside it.
  const auto FixedLabel = [&](QLabel& Label, const QRect& Bounds) {
    Label.setWordWrap(true);
    Label.setGeometry(Bounds);
  };
  // A label sized to its text: the designed size is that of the text in the designed
  // face, so a wider stand-in face widens it rather than cutting the text.
  const auto SizedLabel = [](QLabel& Label, const QRect& Bounds) {
    const QSize Text = Label.fontMetrics().size(Qt::TextSingleLine, Label.text());
    Label.setGeometry(QRect(Bounds.topLeft(), Bounds.size().expandedTo(Text)));
  };
  const std::pair<QWidget*, const char*> Names[] = {
      {Label1, "Label1"}, {LabelIP, "LabelIP"}, {LabelIPInternet, "LabelIPInternet"},
      {Label3, "Label3"}, {Label2, "Label2"},   {Label4, "Label4"},
      {MemoLog, "MemoLog"}, {StatusBar1, "StatusBar1"},
  };
  for (const auto& [Widget, Name] : Names) Widget->setObjectName(QString::fromLatin1(Name));
  for (QLabel* Label : {Label1, LabelIP, LabelIPInternet, Label3, Label2, Label4}) {
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }

  Label1->setText(ToQString(shell::kKeepRunningText));
  WithFont(*Label1, kTitleFontPixels);
  SetTextColour(*Label1, kNavy);
  FixedLabel(*Label1, Scaled(kLabel1Bounds));

  FLabelIPBounds = Scaled(kLabelIPBounds);
  LabelIP->setText(ToQString(shell::kLanAddressCaption));
  WithFont(*LabelIP, kAddressFontPixels);
  FixedLabel(*LabelIP, FLabelIPBounds);

  FLabelIPInternetBounds = Scaled(kLabelIPInternetBounds);
  LabelIPInternet->setText(ToQString(shell::kInternetAddressCaption));
  WithFont(*LabelIPInternet, kAddressFontPixels);
  FixedLabel(*LabelIPInternet, FLabelIPInternetBounds);

  Label3->setText(ToQString(shell::kPortToOpenText));
  SizedLabel(*Label3, Scaled(kLabel3Bounds));

  Label2->setText(ToQString(shell::kPortCheckLinkText));
  Label2->setCursor(Qt::PointingHandCursor);
  Label2->installEventFilter(this);
  SizedLabel(*Label2, Scaled(kLabel2Bounds));

  Label4->setText(ToQString(shell::kLogBoxCaption));
  SizedLabel(*Label4, Scaled(kLabel4Bounds));

  FMemoLogBounds = Scaled(kMemoLogBounds);
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The only control that takes the focus, so the first in the tab order.
  MemoLog->setFocusPolicy(Qt::StrongFocus);
  MemoLog->setGeometry(FMemoLogBounds);

  FStatusBarHeight = Scale(kStatusBarHeight);
  ApplyAnchors();
}

void TfrmInicial::ApplyAnchors() {
  const int Wider = width() - FDesignClient.width();
  const int Taller = height() - FDesignClient.height();
  const auto Grown = [](const QRect& Bounds, int Width, int Height) {
    return QRect(Bounds.left(), Bounds.top(), std::max(0, Bounds.width() + Width),
                 std::max(0, Bounds.height() + Height));
  };
  LabelIP->setGeometry(Grown(FLabelIPBounds, Wider, 0));
  LabelIPInternet->setGeometry(Grown(FLabelIPInternetBounds, Wider, 0));
  MemoLog->setGeometry(Grown(FMemoLogBounds, Wider, Taller));
  StatusBar1->setGeometry(0, height() - FStatusBarHeight, width(), FStatusBarHeight);
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

void TfrmInicial::Label2MouseEnter() {
  SetTextColour(*Label2, kLinkHoverColour);
  QFont Font = Label2->font();
  Font.setUnderline(true);
  Label2->setFont(Font);
}

void TfrmInicial::Label2MouseLeave() {
  SetTextColour(*Label2, kLinkColour);
  QFont Font = Label2->font();
  Font.setUnderline(false);
  Label2->setFont(Font);
}

void TfrmInicial::RunReportingFailure(const std::function<void()>& Step) {
  try {
    Step();
  } catch (const std::exception& Error) {
    OnError(Error.what());
  } catch (...) {
    OnError(std::string(shell::kUnknownFailureMessage));
  }
}

void TfrmInicial::ShowFailureBox(const std::string& Message) {
  QString Caption = QGuiApplication::applicationDisplayName();
  if (Caption.isEmpty()) Caption = ToQString(shell::kFailureBoxCaption);
  QMessageBox::critical(this, Caption, QString::fromStdString(Message));
}

}  // namespace tavrin
