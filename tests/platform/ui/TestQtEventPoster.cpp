#include "platform/ui/QtEventPoster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

namespace kal {

class TestQtEventPoster : public QObject {
  Q_OBJECT

 private slots:
  void CallsFromAWorkerRunOnTheGuiThreadInOrder() {
    TPLTQtEventPoster poster;
    std::vector<int> order;
    std::atomic<int> offThread{0};
    std::thread worker([&] {
      for (int i = 0; i < 3; ++i)
        poster.PLTPost([&, i] {
          if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offThread;
          order.push_back(i);
        });
    });
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t{3}, 5000);
    QCOMPARE(order, (std::vector<int>{0, 1, 2}));
    QCOMPARE(offThread.load(), 0);
  }

  void DelayedCallsWaitTheirDelay() {
    TPLTQtEventPoster poster;
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = -1;
    std::thread worker([&] {
      poster.PLTPostDelayed(std::chrono::milliseconds(150), [&] { ranAfter = clock.elapsed(); });
    });
    worker.join();
    QTRY_VERIFY_WITH_TIMEOUT(ranAfter >= 0, 5000);
    QVERIFY(ranAfter >= 150);
  }

  void CallsPendingWhenThePosterGoesAreDropped() {
    bool ran = false;
    {
      TPLTQtEventPoster poster;
      poster.PLTPost([&] { ran = true; });
      poster.PLTPostDelayed(std::chrono::milliseconds(0), [&] { ran = true; });
    }
    QTest::qWait(50);
    QVERIFY(!ran);
  }
};

}  // namespace kal

QTEST_GUILESS_MAIN(kal::TestQtEventPoster)
#include "TestQtEventPoster.moc"
