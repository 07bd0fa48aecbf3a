// The main window while a discovery runs: it keeps painting under the wait cursor, and what the
// user does meanwhile, or what is posted to it, is handled only once the discovery has returned.
#include <gtest/gtest.h>

#include <qpa/qwindowsysteminterface.h>

#include <QApplication>
#include <QInputDevice>
#include <QPointer>
#include <QPointingDevice>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "discovery/DiscoverDevices.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

using namespace std::chrono_literals;
using Deliveries = std::vector<net::FakeNetwork::Delivery>;

// Off the user-interface thread: waits, in real time, until `done` holds or five seconds pass.
bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2500 && !done(); ++i) {
        std::this_thread::sleep_for(2ms);
    }
    return done();
}

// Watches the main window from the user-interface thread: where it is once it has been drawn
// (before the first discovery starts), and what it paints while a discovery is known to run.
class WindowProbe final : public QObject {
public:
    void Watch(QWidget* dialog) {
        dialog_ = dialog;
        dialog->installEventFilter(this);
    }

    // Set on the first paint, before any discovery; read by the discovery's thread.
    std::atomic<QWindow*> window = nullptr;
    // Window coordinates, in the window system's pixels.
    QPointF exitButtonCentre;
    QPointF refreshButtonCentre;

    std::atomic<bool> discovering = false;
    std::atomic<int> paintsWhileDiscovering = 0;
    Qt::CursorShape cursorWhilePainting = Qt::ArrowCursor;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        if (window == nullptr) {
            const qreal ratio = dialog_->devicePixelRatioF();
            const auto centre = [this, ratio](int id) {
                const QWidget* button = TopControl(id);
                return QPointF(button->mapTo(dialog_, button->rect().center())) * ratio;
            };
            exitButtonCentre = centre(IDCANCEL);
            refreshButtonCentre = centre(IDC_REFRESH);
            window = dialog_->windowHandle();
        }
        if (discovering) {
            const QCursor* cursor = QApplication::overrideCursor();
            cursorWhilePainting = cursor != nullptr ? cursor->shape() : Qt::ArrowCursor;
            ++paintsWhileDiscovering;
        }
        return false;
    }

private:
    QWidget* dialog_ = nullptr;
};

// The main window as it is, with the state it had when it was closed recorded.
class LiveDlg final : public CAccessPointDlg {
public:
    explicit LiveDlg(WindowProbe& probe) : probe_(probe) {}

    bool tableWhenClosed = false;
    int rowsWhenClosed = -1;
    bool DiscoveryCancelled() const { return m_discoveryCancel; }

protected:
    bool OnInitDialog() override {
        probe_.Watch(GetSafeHwnd());
        return CAccessPointDlg::OnInitDialog();
    }
    void OnCancel() override {
        tableWhenClosed = g_deviceTable != nullptr;
        rowsWhenClosed = m_deviceList.GetItemCount();
        CAccessPointDlg::OnCancel();
    }

private:
    WindowProbe& probe_;
};

class LiveWindowTest : public ::testing::Test {
protected:
    ~LiveWindowTest() override {
        g_deviceTable.reset();
        ReleaseMergedTable();
    }

    // Calls `action` with the discovery's number (from 1) on the discovery's own thread when
    // the discovery's first request goes out, then lets the discovery go on.
    void AtEachDiscoveryStart(std::function<void(int)> action) {
        network.fake().AddResponder(
            lan, [this, action = std::move(action)](const net::FakeNetwork::SentDatagram& sent,
                                                    std::int64_t) {
                // Each discovery has a socket of its own, and the fake network calls
                // responders one at a time.
                if (sent.socket != lastSocket_) {
                    lastSocket_ = sent.socket;
                    action(++discoveries_);
                }
                return Deliveries{};
            });
    }

    TestNetwork network;
    int lan = network.AddInterface("10.0.0.200");
    WindowProbe probe;

private:
    net::SocketHandle lastSocket_ = net::kInvalidSocket;
    int discoveries_ = 0;
};

TEST_F(LiveWindowTest, RepaintsUnderTheWaitCursorWhileDiscoveryRuns) {
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    AtEachDiscoveryStart([this](int) {
        QWindow* window = probe.window;
        ASSERT_NE(window, nullptr) << "the window was not drawn before the discovery";
        probe.discovering = true;
        // A repaint request, as an uncovered or restyled window makes one.
        QMetaObject::invokeMethod(window, [this] { TopModal()->update(); });
        WaitUntil([this] { return probe.paintsWhileDiscovering > 0; });
        probe.discovering = false;
    });
    LiveDlg dialog(probe);
    ModalDriver driver;
    driver.When(
        "the first discovery", [] { return g_deviceTable != nullptr; },
        [] { QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_GT(probe.paintsWhileDiscovering, 0) << "the window did not paint during discovery";
    EXPECT_EQ(probe.cursorWhilePainting, Qt::WaitCursor);
    EXPECT_EQ(dialog.rowsWhenClosed, 1);
}

void QueueClick(QWindow* window, QPointF at) {
    const QPointF global = at + window->position() * window->devicePixelRatio();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window, at, global, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
            Qt::LeftButton, type);
    }
}

void QueueKey(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window, type, key, modifiers);
    }
}

struct QueuedInput {
    const char* name;
    std::function<void(QWindow*, const WindowProbe&)> queue;
};

const QueuedInput kCloseRequests[] = {
    {"a click on Exit",
     [](QWindow* window, const WindowProbe& probe) { QueueClick(window, probe.exitButtonCentre); }},
    {"the Escape key",
     [](QWindow* window, const WindowProbe&) { QueueKey(window, Qt::Key_Escape); }},
    {"Alt+F4",
     [](QWindow* window, const WindowProbe&) { QueueKey(window, Qt::Key_F4, Qt::AltModifier); }},
    {"the close box",
     [](QWindow* window, const WindowProbe&) {
         QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(
             window);
     }},
};

// Input from another thread needs the devices it comes from; a real platform registers them at
// start-up, the offscreen one lazily, on whichever thread asks first.
void RegisterInputDevices() {
    QPointingDevice::primaryPointingDevice();
    QInputDevice::primaryKeyboard();
}

// A discovery's result is worth nothing once its window closes, so closing ends the exchange
// at its next look at the cancellation, rather than after the whole discovery.
TEST_F(LiveWindowTest, ClosingDuringADiscoveryEndsItAtOnce) {
    RegisterInputDevices();
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    const QueuedInput* input = nullptr;
    LiveDlg* dialog = nullptr;
    std::int64_t requestedAtMs = -1;
    int sends = 0;
    // At the first repeat of the request, with the resend worker then waiting for the second.
    network.fake().AddResponder(
        lan, [&](const net::FakeNetwork::SentDatagram&, std::int64_t nowMs) {
            if (++sends == 2) {
                QWindow* window = probe.window;
                EXPECT_NE(window, nullptr);
                input->queue(window, probe);
                // The discovery is held here until the window has taken the request.
                EXPECT_TRUE(WaitUntil([&] { return dialog->DiscoveryCancelled(); }))
                    << "the close request did not reach the window during the discovery";
                requestedAtMs = nowMs;
            }
            return Deliveries{};
        });
    for (const QueuedInput& each : kCloseRequests) {
        SCOPED_TRACE(each.name);
        input = &each;
        sends = 0;
        probe.window = nullptr;
        LiveDlg caseDialog(probe);
        dialog = &caseDialog;
        const int socketsBefore = network.fake().socketsOpened();
        // Nothing else closes the window; if the request is lost, this does, and says so.
        QTimer safetyNet;
        safetyNet.setSingleShot(true);
        QObject::connect(&safetyNet, &QTimer::timeout, [] {
            ADD_FAILURE() << "the close request was lost";
            TopControl(IDCANCEL)->setFocus();
            QTest::keyClick(TopModal(), Qt::Key_Escape);
        });
        safetyNet.start(10000);
        EXPECT_EQ(caseDialog.DoModal(), IDCANCEL);
        EXPECT_LE(network.fake().NowMs() - requestedAtMs, 500) << "ms of the network's time";
        EXPECT_EQ(network.fake().socketsOpened(), socketsBefore + 1) << "one discovery only";
        EXPECT_EQ(network.fake().openSockets(), 0);
        EXPECT_EQ(network.fake().workersJoined(), network.fake().workersStarted());
        EXPECT_FALSE(caseDialog.tableWhenClosed) << "the discovery's result was shown";
        EXPECT_EQ(caseDialog.rowsWhenClosed, 0);
        g_deviceTable.reset();
    }
}

// Input that does not close the window waits for the discovery, as it always has.
TEST_F(LiveWindowTest, OtherInputDuringDiscoveryIsHandledAfterIt) {
    RegisterInputDevices();
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    std::vector<bool> tableShownAtStart;  // per discovery, on its own thread
    AtEachDiscoveryStart([&](int discovery) {
        tableShownAtStart.push_back(g_deviceTable != nullptr);
        if (discovery == 1) {
            QWindow* window = probe.window;
            ASSERT_NE(window, nullptr);
            QueueClick(window, probe.refreshButtonCentre);
            // Once the waiting loop has taken the click from the window system's queue, it has
            // either acted on it or held it.
            EXPECT_TRUE(WaitUntil([] {
                return QWindowSystemInterface::windowSystemEventsQueued() == 0;
            })) << "the waiting loop never took the click";
        }
    });
    LiveDlg dialog(probe);
    ModalDriver driver;
    driver.When(
        "the second discovery", [&] { return network.fake().socketsOpened() == 2; },
        [] { QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(tableShownAtStart, (std::vector<bool>{false, true}));
    EXPECT_EQ(dialog.rowsWhenClosed, 1);
}

TEST_F(LiveWindowTest, RefreshPostedDuringARefreshRunsAfterIt) {
    network.Add(lan, {.name = "alpha", .address = "10.0.0.5", .macTail = 1});
    LiveDlg dialog(probe);
    std::vector<bool> tableShownAtStart;  // per discovery, on its own thread
    std::atomic<bool> posted = false;
    AtEachDiscoveryStart([&](int discovery) {
        tableShownAtStart.push_back(g_deviceTable != nullptr);
        if (discovery == 1) {
            // Something served during the wait posts Refresh, as a timer or a queued call might.
            QMetaObject::invokeMethod(qApp, [&] {
                dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED));
                posted = true;
            });
            WaitUntil([&] { return posted.load(); });
        }
    });
    ModalDriver driver;
    driver.When(
        "the second discovery", [&] { return network.fake().socketsOpened() == 2; },
        [] { QTest::mouseClick(TopControl(IDCANCEL), Qt::LeftButton); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(posted);
    // Nested, the second discovery would start before the first one's table was shown.
    EXPECT_EQ(tableShownAtStart, (std::vector<bool>{false, true}));
    EXPECT_EQ(dialog.rowsWhenClosed, 1);
}

}  // namespace
