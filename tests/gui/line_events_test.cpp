// Line events of the window's port reach handlers on the window's thread
// through its event loop, while the port's event thread waits for them.

#include <QTest>
#include <QThread>

#include "fakes/pty_pair.h"
#include "gui_test_support.h"

using namespace orvex_test;

class LineEventsTest : public QObject {
  Q_OBJECT

 private slots:
  void receivedBytesAreHandledOnTheWindowThreadByTheEventLoop() {
    PtyPair line;
    WindowUnderTest window;
    TCustomComm& comm = window->Comm1();
    std::vector<uint32_t> counts;
    bool onWindowThread = true;
    comm.OnData = [&](TCustomComm&, uint32_t n) {
      counts.push_back(n);
      onWindowThread = onWindowThread && QThread::currentThread() == window->thread();
    };
    comm.SetDeviceName(line.SlavePath());
    comm.OpenDevice();
    line.Send("OK\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(counts.size(), size_t{1}, 5000);
    QCOMPARE(counts[0], 4u);
    QVERIFY(onWindowThread);
    comm.OnData = nullptr;
    comm.CloseDevice();
  }
};

QTEST_MAIN(LineEventsTest)
#include "line_events_test.moc"
