// The receive session over a scripted port and a hand-set clock: a device that goes away, with or without a word.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "acquisition/instrument_sim.h"
#include "acquisition/receive_session.h"
#include "measurement/reader.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/scripted_serial_port.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

QByteArray blockBytes(const BlockValues& v) {
    const auto b = encodeBlock(v);
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
}

const BlockValues kTypical{-10, 230, 2.0f, -10, 231, 2.0f, -10, 229, 2.0f};

class Session : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_acquisition";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("TEMP.MTX");
        QObject::connect(&session, &ReceiveSession::ended, [this](ReceiveEnd e) { ended = e; });
    }
    // Runs the event loop until `done` holds; a time limit only so that a fault fails instead of hanging.
    bool runUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return done();
    }

    QTemporaryDir dir;
    QString path;
    SharedState st;
    FakeClock clock;
    ScriptedSerialPort port;
    ReceiveSession session{st, clock, port};
    std::optional<ReceiveEnd> ended;
};

// A hang-up that the port never reports: the line goes quiet and the device node is gone. The watchdog ends the
// receive as a lost port, every block kept; a quiet instrument whose device is still there is only waited for.
TEST_F(Session, aDeviceGoneWithoutAWordIsNoticedOnceTheLineIsQuiet) {
    ASSERT_TRUE(test::succeeded(session.start(ReceiveMode::Manual, QStringLiteral("/dev/ttyUSB7"), path)));
    port.deliver(blockBytes(kTypical) + blockBytes(kTypical));
    clock.advance(ReceiveSession::kQuietBeforeLooking + 1);
    int ticks = 0;
    QObject::connect(&session, &ReceiveSession::progress, [&] { ++ticks; });
    ASSERT_TRUE(runUntil([&] { return ticks > 0 || ended; }));
    EXPECT_FALSE(ended) << "a silent instrument that is still there";
    port.deviceGone = true;
    clock.advance(1);
    ASSERT_TRUE(runUntil([&] { return ended.has_value(); }));
    EXPECT_EQ(*ended, ReceiveEnd::PortLost);
    EXPECT_FALSE(port.isOpen());
    MeasurementReader r;
    ASSERT_TRUE(test::succeeded(r.open(path)));
    EXPECT_TRUE(r.info().complete);
    EXPECT_EQ(r.info().wholeSamples, 2);
}

}  // namespace
