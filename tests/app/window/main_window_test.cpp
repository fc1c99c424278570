// The main window: its texts, bounds and fonts at two screen resolutions, the colours,
// the port-check link's hover and click, how the controls follow a resize, and the
// start-up work of the first activation (once, in order, ending early without a data
// folder or after a failure).

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/window/main_window.h"

namespace tavrin {
namespace {

const QString kLanCaption = QString::fromUtf8("Endereço para conexão pela rede local: ");
const QString kInternetCaption = QString::fromUtf8("Endereço para conexão pela internet: ");
const std::string kFolder = "C:\\ZUL\\Dados";
const std::string kLanAddress = "192.168.0.10";
const std::string kInternetAddress = "200.1.2.3";

// Records each step it is asked for; the step named in FailingStep raises instead.
class TFakeWork final : public IStartUpWork {
 public:
  std::vector<std::string> Calls;
  std::optional<std::string> Folder = kFolder;
  std::string FailingStep;
  bool FailWithoutMessage = false;  // raise something that is not a std::exception
  std::function<void(const std::string& Step)> OnCall;  // looks at the window at each step

  std::optional<std::string> ResolveDataFolder() override {
    Record("ResolveDataFolder");
    return Folder;
  }
  std::string LanAddress() override {
    Record("LanAddress");
    return kLanAddress;
  }
  void LogServerStarted() override { Record("LogServerStarted"); }
  std::string InternetAddress() override {
    Record("InternetAddress");
    return kInternetAddress;
  }
  void OpenPortCheckPage() override { Record("OpenPortCheckPage"); }

  void Record(const std::string& Step) {
    Calls.push_back(Step);
    if (OnCall) OnCall(Step);
    if (Step != FailingStep) return;
    if (FailWithoutMessage) throw 42;
    throw std::runtime_error(Step + " failed");
  }
};

// A window at Dpi whose end requests and failure boxes are recorded.
struct TWindowUnderTest {
  explicit TWindowUnderTest(int Dpi = kDesignDpi)
      : Window(Work, [this](int Code) { ExitCodes.push_back(Code); }, Dpi) {
    Window.OnError = [this](const std::string& Message) { Errors.push_back(Message); };
  }
  TFakeWork Work;
  std::vector<int> ExitCodes;
  std::vector<std::string> Errors;
  TfrmInicial Window;
};

void Activate(QWidget& Window) {
  QEvent Activation(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&Window, &Activation);
}

// Runs the event loop until Done holds or five seconds have passed.
bool WaitUntil(const std::function<bool()>& Done) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    QTest::qWait(10);
  }
  return true;
}

QWidget* Control(TfrmInicial& Window, const char* Name) {
  auto* Found = Window.findChild<QWidget*>(QString::fromLatin1(Name));
  EXPECT_NE(Found, nullptr) << Name;
  return Found;
}

TEST(MainWindow, ShowsItsFixedTextsAndStartsWithEmptyLogAndStatus) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  const struct {
    const char* Name;
    QWidget* Member;
    QString Text;
    QString Expected;
  } Cases[] = {
      {"Label1", W.Label1, W.Label1->text(), QString::fromUtf8("Mantenha esta aplicação sempre ativa")},
      {"LabelIP", W.LabelIP, W.LabelIP->text(), kLanCaption},
      {"LabelIPInternet", W.LabelIPInternet, W.LabelIPInternet->text(), kInternetCaption},
      {"Label3", W.Label3, W.Label3->text(),
       QString::fromUtf8("Porta que deve ser aberta para conexão por internet: 211")},
      {"Label2", W.Label2, W.Label2->text(),
       QString::fromUtf8("Clique aqui para verificar se esta porta pode ser utilizada")},
      {"Label4", W.Label4, W.Label4->text(), QString::fromUtf8("Log de ações do aplicativo:")},
      {"MemoLog", W.MemoLog, W.MemoLog->toPlainText(), QString()},
      {"StatusBar1", W.StatusBar1, W.StatusBar1->currentMessage(), QString()},
  };
  EXPECT_EQ(W.windowTitle(), QString::fromUtf8("TAVRIN - Velmora"));
  for (const auto& Case : Cases) {
    EXPECT_EQ(Control(W, Case.Name), Case.Member) << Case.Name;
    EXPECT_EQ(Case.Text, Case.Expected) << Case.Name;
  }
}

TEST(MainWindow, FollowsTheFormTableAtTwoResolutions) {
  // Every control of the form's table, with its text, scaled bounds, font and colour.
  for (const int Dpi : {120, 96}) {
    SCOPED_TRACE(Dpi);
    TWindowUnderTest Ui(Dpi);
    TfrmInicial& W = Ui.Window;
    const QSize Client(form::ScaleToDpi(form::kClientWidth, Dpi), form::ScaleToDpi(form::kClientHeight, Dpi));
    EXPECT_EQ(W.size(), Dpi == 120 ? QSize(568, 447) : QSize(454, 358));
    EXPECT_EQ(W.size(), Client);
    EXPECT_EQ(W.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(W.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(),
              static_cast<qsizetype>(form::kControls.size()));
    for (const form::TControl& Design : form::kControls) {
      const std::string Name(Design.Name);
      QWidget* Widget = Control(W, Name.c_str());
      ASSERT_NE(Widget, nullptr);
      const form::TBounds Scaled = form::ScaleToDpi(Design.Bounds, Dpi);
      QRect Bounds(Scaled.Left, Scaled.Top, Scaled.Width, Scaled.Height);
      if (const auto* Label = qobject_cast<QLabel*>(Widget)) {
        EXPECT_EQ(Label->text(), QString::fromUtf8(Design.Text.data(), static_cast<qsizetype>(Design.Text.size())))
            << Name;
        EXPECT_EQ(Label->wordWrap(), Design.Kind == form::TControlKind::FixedLabel) << Name;
        // A wider stand-in face may widen a label sized to its text, never narrow it.
        if (Design.Kind == form::TControlKind::SizedLabel) {
          Bounds.setSize(Bounds.size().expandedTo(Label->fontMetrics().size(Qt::TextSingleLine, Label->text())));
        }
      }
      // Docked at the bottom: its top is the client height less its own.
      if (Design.Kind == form::TControlKind::StatusBar) {
        Bounds = QRect(0, Client.height() - Bounds.height(), Client.width(), Bounds.height());
      }
      EXPECT_EQ(Widget->geometry(), Bounds) << Name;
      EXPECT_EQ(Widget->font().pixelSize(), form::ScaleToDpi(Design.FontPixels, Dpi)) << Name;
      EXPECT_EQ(Widget->font().family(), QStringLiteral("Tahoma")) << Name;
      const QColor Colour = Design.Colour == form::TTextColour::Navy
                                ? QColor(form::kNavy.Red, form::kNavy.Green, form::kNavy.Blue)
                                : W.palette().color(QPalette::WindowText);
      EXPECT_EQ(Widget->palette().color(QPalette::WindowText), Colour) << Name;
    }
  }
}

TEST(MainWindow, BackgroundCursorAndTheLogBoxKind) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  EXPECT_EQ(W.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  EXPECT_FALSE(W.Label2->font().underline());
  EXPECT_EQ(W.Label2->cursor().shape(), Qt::PointingHandCursor);

  EXPECT_TRUE(W.MemoLog->isReadOnly());
  EXPECT_EQ(W.MemoLog->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(W.MemoLog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(W.MemoLog->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  // The log box is the one stop of the tab order.
  std::vector<QString> Focusable;
  for (QWidget* Child : W.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (Child->focusPolicy() & Qt::TabFocus) Focusable.push_back(Child->objectName());
  }
  EXPECT_EQ(Focusable, std::vector<QString>{QStringLiteral("MemoLog")});
}

TEST(MainWindow, LinkTurnsBlueUnderlinedUnderThePointerAndBlackPlainAfter) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  // A desktop whose text is not black: leaving the link still makes it black.
  QPalette Palette = W.palette();
  Palette.setColor(QPalette::WindowText, QColor(90, 60, 30));
  W.setPalette(Palette);
  ASSERT_EQ(W.Label2->palette().color(QPalette::WindowText), QColor(90, 60, 30));

  for (int Round = 0; Round < 2; ++Round) {
    SCOPED_TRACE(Round);
    QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(W.Label2, &Enter);
    EXPECT_EQ(W.Label2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(W.Label2->font().underline());
    QEvent Leave(QEvent::Leave);
    QCoreApplication::sendEvent(W.Label2, &Leave);
    EXPECT_EQ(W.Label2->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_FALSE(W.Label2->font().underline());
  }
  EXPECT_EQ(W.Label2->font().pixelSize(), 13);  // the hover touches colour and style only
  EXPECT_TRUE(Ui.Work.Calls.empty());
}

TEST(MainWindow, ClickingTheLinkOpensThePortCheckPage) {
  TWindowUnderTest Ui;
  Activate(Ui.Window);  // the start-up work is done before the link is used
  Ui.Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Ui.Window));
  Ui.Work.Calls.clear();

  QTest::mouseClick(Ui.Window.Label2, Qt::LeftButton);
  EXPECT_EQ(Ui.Work.Calls, std::vector<std::string>{"OpenPortCheckPage"});
  QTest::mouseClick(Ui.Window.Label2, Qt::RightButton);
  QTest::mouseClick(Ui.Window.Label3, Qt::LeftButton);
  EXPECT_EQ(Ui.Work.Calls, std::vector<std::string>{"OpenPortCheckPage"});
}

TEST(MainWindow, IsCentredOnTheScreenWhenShown) {
  TWindowUnderTest Ui;
  Ui.Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Ui.Window));
  const QPoint Offset =
      Ui.Window.frameGeometry().center() - Ui.Window.screen()->geometry().center();
  EXPECT_LE(Offset.manhattanLength(), 2) << Offset.x() << ", " << Offset.y();
  EXPECT_EQ(Ui.Window.size(), QSize(568, 447));
}

TEST(MainWindow, AddressLabelsAndLogFollowTheSizeAndTheStatusBarTheBottom) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  W.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&W));
  const QRect Label1 = W.Label1->geometry();
  const QRect Label3 = W.Label3->geometry();
  const QRect Label2 = W.Label2->geometry();
  const QRect Label4 = W.Label4->geometry();
  const struct {
    QSize Size;
    QRect LabelIP;
    QRect LabelIPInternet;
    QRect MemoLog;
    QRect StatusBar1;
  } Cases[] = {
      {{668, 497}, {16, 60, 636, 21}, {16, 86, 636, 21}, {16, 202, 636, 266}, {0, 478, 668, 19}},
      {{568, 447}, {16, 60, 536, 21}, {16, 86, 536, 21}, {16, 202, 536, 216}, {0, 428, 568, 19}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Size.width());
    W.resize(Case.Size);
    ASSERT_TRUE(WaitUntil([&] { return W.StatusBar1->width() == Case.Size.width(); }));
    EXPECT_EQ(W.LabelIP->geometry(), Case.LabelIP);
    EXPECT_EQ(W.LabelIPInternet->geometry(), Case.LabelIPInternet);
    EXPECT_EQ(W.MemoLog->geometry(), Case.MemoLog);
    EXPECT_EQ(W.StatusBar1->geometry(), Case.StatusBar1);
    EXPECT_EQ(W.Label1->geometry(), Label1);
    EXPECT_EQ(W.Label3->geometry(), Label3);
    EXPECT_EQ(W.Label2->geometry(), Label2);
    EXPECT_EQ(W.Label4->geometry(), Label4);
  }
}

TEST(MainWindow, FirstActivationDoesTheStartUpWorkInOrder) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  struct TSeen {
    std::string Step;
    QString Status;
    QString Lan;
    QString Internet;
    bool operator==(const TSeen&) const = default;
  };
  std::vector<TSeen> Seen;
  const auto Look = [&](const std::string& Step) {
    Seen.push_back({Step, W.StatusBar1->currentMessage(), W.LabelIP->text(), W.LabelIPInternet->text()});
  };
  QObject Waiting;  // an event posted to it that has not run is dropped with it
  Ui.Work.OnCall = [&](const std::string& Step) {
    Look(Step);
    // Waiting work (a log line from a connection) runs before the internet lookup.
    if (Step == "LogServerStarted") {
      QMetaObject::invokeMethod(&Waiting, [&] { Look("waiting event"); }, Qt::QueuedConnection);
    }
  };
  Activate(W);

  const QString Status = QString::fromUtf8("Pasta de dados: C:\\ZUL\\Dados");
  const QString Lan = kLanCaption + QString::fromStdString(kLanAddress);
  const std::vector<TSeen> Expected = {
      {"ResolveDataFolder", "", kLanCaption, kInternetCaption},
      {"LanAddress", Status, kLanCaption, kInternetCaption},
      {"LogServerStarted", Status, Lan, kInternetCaption},
      {"waiting event", Status, Lan, kInternetCaption},
      {"InternetAddress", Status, Lan, kInternetCaption},
  };
  ASSERT_EQ(Seen.size(), Expected.size());
  for (std::size_t i = 0; i < Seen.size(); ++i) {
    EXPECT_EQ(Seen[i].Step, Expected[i].Step);
    EXPECT_EQ(Seen[i], Expected[i]) << Expected[i].Step;
  }
  EXPECT_EQ(W.LabelIPInternet->text(), kInternetCaption + QString::fromStdString(kInternetAddress));
  EXPECT_TRUE(Ui.ExitCodes.empty());
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST(MainWindow, LaterActivationsChangeNothing) {
  TWindowUnderTest Ui;
  TfrmInicial& W = Ui.Window;
  // Through the platform: shown, activated, another window activated, back again.
  const std::vector<std::string> Once = {"ResolveDataFolder", "LanAddress", "LogServerStarted",
                                         "InternetAddress"};
  W.show();
  W.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&W));
  EXPECT_EQ(Ui.Work.Calls, Once);
  QWidget Other;
  Other.show();
  Other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Other));
  W.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&W));
  Activate(W);

  EXPECT_EQ(Ui.Work.Calls, Once);
  EXPECT_EQ(W.LabelIP->text(), kLanCaption + QString::fromStdString(kLanAddress));
  EXPECT_EQ(W.LabelIPInternet->text(), kInternetCaption + QString::fromStdString(kInternetAddress));
}

TEST(MainWindow, WithoutDataFolderTheProgramEndsWithCodeZeroAndNothingElseRuns) {
  TWindowUnderTest Ui;
  Ui.Work.Folder = std::nullopt;
  Activate(Ui.Window);
  Activate(Ui.Window);
  EXPECT_EQ(Ui.Work.Calls, std::vector<std::string>{"ResolveDataFolder"});
  EXPECT_EQ(Ui.ExitCodes, std::vector<int>{0});
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Window.StatusBar1->currentMessage().isEmpty());
  EXPECT_EQ(Ui.Window.LabelIP->text(), kLanCaption);
  EXPECT_EQ(Ui.Window.LabelIPInternet->text(), kInternetCaption);
}

TEST(MainWindow, FailingStepIsShownAndTheRestSkippedForGood) {
  const struct {
    std::string FailingStep;
    bool WithoutMessage;
    std::vector<std::string> Calls;
    std::string Shown;
  } Cases[] = {
      {"ResolveDataFolder", false, {"ResolveDataFolder"}, "ResolveDataFolder failed"},
      {"LanAddress", false, {"ResolveDataFolder", "LanAddress"}, "LanAddress failed"},
      {"LogServerStarted", false, {"ResolveDataFolder", "LanAddress", "LogServerStarted"},
       "LogServerStarted failed"},
      {"InternetAddress", false,
       {"ResolveDataFolder", "LanAddress", "LogServerStarted", "InternetAddress"},
       "InternetAddress failed"},
      {"LanAddress", true, {"ResolveDataFolder", "LanAddress"}, "Erro desconhecido"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.FailingStep);
    TWindowUnderTest Ui;
    Ui.Work.FailingStep = Case.FailingStep;
    Ui.Work.FailWithoutMessage = Case.WithoutMessage;
    Activate(Ui.Window);
    Activate(Ui.Window);
    EXPECT_EQ(Ui.Work.Calls, Case.Calls);
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{Case.Shown});
    EXPECT_TRUE(Ui.ExitCodes.empty());
    EXPECT_EQ(Ui.Window.LabelIPInternet->text(), kInternetCaption);
  }
}

TEST(MainWindow, FailureOfTheLinkIsShown) {
  TWindowUnderTest Ui;
  Activate(Ui.Window);
  Ui.Work.FailingStep = "OpenPortCheckPage";
  Ui.Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Ui.Window));
  QTest::mouseClick(Ui.Window.Label2, Qt::LeftButton);
  EXPECT_EQ(Ui.Errors, std::vector<std::string>{"OpenPortCheckPage failed"});
}

}  // namespace
}  // namespace tavrin
