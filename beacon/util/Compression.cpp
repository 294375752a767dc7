#include "beacon/util/Compression.h"

#include "beacon/logger/Logger.h"

#include <zlib.h>

#include <algorithm>

namespace beacon {

namespace {

constexpr int kGzipWindowBits = 15 + 16; // the largest window, with a gzip header and trailer
constexpr int kMemoryLevel = 8;

const char* initError(int code) {
    switch (code) {
    case Z_VERSION_ERROR: return "Version of zlib.h & libz library do not match!";
    case Z_MEM_ERROR: return "Not enough memory.";
    case Z_STREAM_ERROR: return "Invalid parameter passed in to function.";
    default: return "Unknown error!";
    }
}

const char* deflateError(int code) {
    switch (code) {
    case Z_STREAM_ERROR: return "Inconsistent stream state.";
    case Z_BUF_ERROR: return "No progress is possible.";
    default: return "Unknown error!";
    }
}

} // namespace

std::optional<Compression::Data> Compression::compressData(const Data& data) {
    if (data.empty()) return std::nullopt;
    z_stream stream{};
    const int init =
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
    if (init != Z_OK) {
        BEACON_LOG_ERROR("Compression failed with error: ", initError(init));
        return std::nullopt;
    }
    // deflateBound is an upper bound of the whole gzip output, so one buffer
    // always suffices, also for short or incompressible input.
    const auto customary = static_cast<std::size_t>(static_cast<double>(data.size()) * 1.01 + 12);
    Data out(std::max<std::size_t>(customary, deflateBound(&stream, data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int result;
    do {
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        result = deflate(&stream, Z_FINISH);
    } while (result == Z_OK);
    if (result != Z_STREAM_END) {
        BEACON_LOG_ERROR("Deflate failed with error: ", deflateError(result));
        deflateEnd(&stream);
        return std::nullopt;
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace beacon
