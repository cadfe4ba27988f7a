#include "imaging/host_identify_batch.h"

#include <algorithm>

namespace vemra::host {

namespace {

constexpr std::uint32_t kEveryPlugin = 0xFFFFFFFFu;

} // namespace

void writeIdentifyBatch(MessageWriter& writer, bool moveToFront,
                        std::span<const std::string_view> plugins,
                        std::span<const BatchQuestion> files) {
    writer.u32(moveToFront ? 1 : 0);
    writer.u32(static_cast<std::uint32_t>(plugins.size()));
    for (const std::string_view path : plugins) {
        writer.text(path);
    }
    writer.u32(static_cast<std::uint32_t>(files.size()));
    for (const BatchQuestion& file : files) {
        writer.text(file.fileName);
        writer.bytes(file.header);
        if (file.everyPlugin) {
            writer.u32(kEveryPlugin);
            continue;
        }
        writer.u32(static_cast<std::uint32_t>(file.eligible.size()));
        for (const std::uint32_t index : file.eligible) {
            writer.u32(index);
        }
    }
}

bool readIdentifyBatch(MessageReader& reader, IdentifyBatch& out) {
    out = {};
    std::uint32_t front = 0;
    std::uint32_t pluginCount = 0;
    if (reader.type() != Message::IdentifyBatch || !reader.u32(front) || front > 1 ||
        !reader.u32(pluginCount) || pluginCount > kMaxBatchPlugins) {
        return false;
    }
    out.moveToFront = front != 0;
    out.plugins.resize(pluginCount);
    for (std::string& path : out.plugins) {
        if (!reader.text(path, kMaxBatchText)) {
            return false;
        }
    }
    std::uint32_t fileCount = 0;
    if (!reader.u32(fileCount) || fileCount > kMaxBatchFiles) {
        return false;
    }
    out.files.resize(fileCount);
    for (BatchFile& file : out.files) {
        std::uint32_t eligible = 0;
        if (!reader.text(file.fileName, kMaxBatchText) ||
            !reader.bytes(file.header, kMaxBatchHeader) || !reader.u32(eligible)) {
            return false;
        }
        file.everyPlugin = eligible == kEveryPlugin;
        if (file.everyPlugin) {
            continue;
        }
        if (eligible > pluginCount) {
            return false;
        }
        file.eligible.resize(eligible);
        for (std::uint32_t& index : file.eligible) {
            if (!reader.u32(index) || index >= pluginCount) {
                return false;
            }
        }
    }
    return reader.complete();
}

std::vector<std::int32_t>
firstTakers(const IdentifyBatch& batch,
            const std::function<bool(std::uint32_t plugin, std::size_t file)>& takes) {
    std::vector<std::uint32_t> order(batch.plugins.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::vector<bool> eligible(batch.plugins.size());
    std::vector<std::int32_t> winners(batch.files.size(), -1);
    for (std::size_t f = 0; f < batch.files.size(); ++f) {
        const BatchFile& file = batch.files[f];
        std::fill(eligible.begin(), eligible.end(), file.everyPlugin);
        for (const std::uint32_t index : file.eligible) {
            eligible[index] = true;
        }
        const auto taker = std::find_if(order.begin(), order.end(), [&](std::uint32_t plugin) {
            return eligible[plugin] && takes(plugin, f);
        });
        if (taker == order.end()) {
            continue;
        }
        winners[f] = static_cast<std::int32_t>(*taker);
        if (batch.moveToFront) {
            std::rotate(order.begin(), taker, taker + 1);
        }
    }
    return winners;
}

void writeBatchAnswer(MessageWriter& writer, std::span<const std::int32_t> winners) {
    writer.u32(static_cast<std::uint32_t>(winners.size()));
    for (const std::int32_t winner : winners) {
        writer.i32(winner);
    }
}

bool readBatchAnswer(MessageReader& reader, std::size_t files, std::size_t plugins,
                     std::vector<std::int32_t>& winners) {
    winners.clear();
    std::uint32_t count = 0;
    if (reader.type() != Message::Answer || !reader.u32(count) || count != files ||
        count > kMaxBatchFiles) {
        return false;
    }
    winners.resize(count);
    for (std::int32_t& winner : winners) {
        if (!reader.i32(winner) || winner < -1 ||
            (winner >= 0 && static_cast<std::size_t>(winner) >= plugins)) {
            winners.clear();
            return false;
        }
    }
    if (!reader.complete()) {
        winners.clear();
        return false;
    }
    return true;
}

} // namespace vemra::host
