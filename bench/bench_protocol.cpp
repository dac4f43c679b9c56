// Receive path throughput: frame extraction, module message decoding and record update, fed in
// 64-byte deliveries as the serial port hands them over; and the cost of line noise.

#include "ModuleBytes.h"
#include "link/ApiFrame.h"
#include "link/FlightModuleList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

using namespace ModuleBytes;

namespace {

constexpr int deliverySize = 64;
constexpr int streamSize = 1 << 20;
const qint64 addresses[] = {0x0013A2004155AA01LL, 0x0013A200417E7D11LL, 0x0013A20041131313LL};

// Data messages of three modules with every optional group; the values wander as in a sounding
// and now and then take byte values that need escaping on either layer.
QByteArray soundingStream(int *messageCount)
{
    std::mt19937 rng(7);
    const auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    const int escaped[] = {0x7E, 0x7D, 0x11, 0x13, '#', '!'};
    const auto wordWithEscapes = [&](int value) {
        return pick(0, 3) == 0 ? (value & 0xFF00) | escaped[pick(0, 5)] : value;
    };

    QByteArray stream;
    *messageCount = 0;
    for (int i = 0; stream.size() < streamSize; ++i) {
        DataFields d;
        d.pressure = wordWithEscapes(10132 - i % 2000);
        d.temperature = wordWithEscapes(2953 - i % 300);
        d.humidity = wordWithEscapes(456 + i % 400);
        d.windDirection = pick(0, 359);
        d.windSpeed = wordWithEscapes(pick(0, 300));
        d.supply = 1205 - i % 100;
        d.flags = 0xFF;
        d.hours = 12;
        d.minutes = i / 60 % 60;
        d.seconds = i % 60;
        d.latitude = {4807, pick(0, 9999), 'N'};
        d.longitude = {1131, pick(0, 9999), 'E'};
        d.altitude = i % 3000;
        d.course = pick(0, 359);
        d.groundSpeed = pick(0, 200);
        stream += receiveFrame(addresses[i % 3], data(d));
        ++*messageCount;
    }
    return stream;
}

// The 64 bytes (or fewer at the end) of the stream from offset, without copying.
QByteArray delivery(const QByteArray &stream, int offset)
{
    return QByteArray::fromRawData(stream.constData() + offset,
                                   std::min(deliverySize, int(stream.size()) - offset));
}

QByteArray noise(bool withDelimiters)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray out(streamSize, '\0');
    for (char &c : out) {
        do {
            c = char(byte(rng));
        } while (!withDelimiters && quint8(c) == 0x7E);
    }
    return out;
}

struct Receiver
{
    ApiFrameParser parser;
    FlightModuleList list;
    int dataMessages = 0;
    int maxBuffered = 0;

    Receiver()
    {
        for (qint64 address : addresses)
            list.addModule(address, 0, 100);
        QObject::connect(&list, &FlightModuleList::data, [this](int) { ++dataMessages; });
    }

    void receive(const QByteArray &stream)
    {
        for (int offset = 0; offset < stream.size(); offset += deliverySize) {
            parser.feed(delivery(stream, offset));
            maxBuffered = std::max(maxBuffered, parser.bufferedByteCount());
            while (parser.hasFrame()) {
                const ApiFrame frame = parser.takeFrame();
                list.handlePayload(frame.sourceAddress, frame.payload);
            }
        }
    }
};

void BM_SoundingStream(benchmark::State &state)
{
    int messagesPerStream = 0;
    const QByteArray stream = soundingStream(&messagesPerStream);
    Receiver receiver;
    for (auto _ : state)
        receiver.receive(stream);
    if (receiver.dataMessages != messagesPerStream * int(state.iterations()))
        state.SkipWithError("Data messages were lost");
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
    state.counters["data_messages"] =
        benchmark::Counter(double(receiver.dataMessages), benchmark::Counter::kIsRate);
}

// The frame layer alone, to tell its share of the sounding stream's cost.
void BM_FrameExtraction(benchmark::State &state)
{
    int messagesPerStream = 0;
    const QByteArray stream = soundingStream(&messagesPerStream);
    ApiFrameParser parser;
    for (auto _ : state) {
        for (int offset = 0; offset < stream.size(); offset += deliverySize) {
            parser.feed(delivery(stream, offset));
            while (parser.hasFrame())
                benchmark::DoNotOptimize(parser.takeFrame());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
}

void BM_LineNoise(benchmark::State &state)
{
    const QByteArray stream = noise(state.range(0) != 0);
    Receiver receiver;
    for (auto _ : state)
        receiver.receive(stream);
    state.SetBytesProcessed(int64_t(state.iterations()) * stream.size());
    state.counters["max_buffered_bytes"] = receiver.maxBuffered;
}

} // namespace

BENCHMARK(BM_SoundingStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameExtraction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineNoise)->ArgName("with_0x7E")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
