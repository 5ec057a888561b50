// Decoding a sign-in reply: JSON reader, envelope, then the order list in its result.
#include "core/model/Mapper.h"
#include "core/model/SCOrderContent.h"
#include "core/network/SCResponse.h"
#include "platform/http/JsonReplyReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

QByteArray envelopeWithOrders(int count)
{
    QJsonArray orders;
    for (int i = 0; i < count; ++i) {
        orders.append(QJsonObject{
            {QStringLiteral("secret"), QStringLiteral("9f2c4e7a1b3d5f60")},
            {QStringLiteral("orderId"), QStringLiteral("ORD%1").arg(i, 8, 10, QLatin1Char('0'))},
            {QStringLiteral("mobile"), QStringLiteral("13800138000")},
            {QStringLiteral("userId"), 1000 + i},
            {QStringLiteral("productId"), i % 3},
            {QStringLiteral("buyCount"), 30},
            {QStringLiteral("usedCount"), 12},
            {QStringLiteral("orderStatus"), 1},
            {QStringLiteral("orderExpiryDate"), 30},
            {QStringLiteral("orderCreateTime"), QStringLiteral("2024-03-01 10:00:00")},
            {QStringLiteral("createTime"), 1709251200000.0 + i},
            {QStringLiteral("modifyTime"), 1709251200000.0 + i},
            {QStringLiteral("userName"), QStringLiteral("张三")},
            {QStringLiteral("flowAmount"), 10240},
            {QStringLiteral("remainFlow"), 512.5},
        });
    }
    const QJsonObject result{{QStringLiteral("secret"), QStringLiteral("s")},
                             {QStringLiteral("orderInfoList"), orders}};
    return QJsonDocument(QJsonObject{{QStringLiteral("code"), 0},
                                     {QStringLiteral("message"), QStringLiteral("ok")},
                                     {QStringLiteral("result"), result}})
        .toJson(QJsonDocument::Compact);
}

void decodeSignInReply(benchmark::State &state)
{
    const QByteArray body = envelopeWithOrders(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto json = JsonReplyReader::parse(body);
        const auto envelope = Mapper<SCResponse>().mapJSONObject(*json);
        const auto content = Mapper<SCOrderContent>().mapJSONObject(*envelope->result);
        benchmark::DoNotOptimize(content->orderInfoList.size());
    }
    state.SetLabel(std::to_string(body.size()) + " bytes");
}

// The field mapping alone, on a reply parsed once outside the loop.
void mapOnly(benchmark::State &state)
{
    const QByteArray body = envelopeWithOrders(static_cast<int>(state.range(0)));
    const auto json = JsonReplyReader::parse(body);
    for (auto _ : state) {
        const auto envelope = Mapper<SCResponse>().mapJSONObject(*json);
        const auto content = Mapper<SCOrderContent>().mapJSONObject(*envelope->result);
        benchmark::DoNotOptimize(content->orderInfoList.size());
    }
}

void parseOnly(benchmark::State &state)
{
    const QByteArray body = envelopeWithOrders(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(JsonReplyReader::parse(body));
}

} // namespace

BENCHMARK(parseOnly)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(mapOnly)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(decodeSignInReply)->Arg(20)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
