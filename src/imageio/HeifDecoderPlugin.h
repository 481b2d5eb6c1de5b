#pragma once

#include <QSize>
#include <mutex>
#include <optional>

#include "imageio/NclxColour.h"

// HEVC (HEIC) and AV1 (AVIF) decoding for libheif through libavcodec: on every
// core (HEVC wavefront rows, AV1 tiles), without the loop filters when the caller
// shrinks the picture enough that they would not show, and with every stream's
// coded size checked against what the file's header promised before the decoder
// allocates anything. Registered ahead of libheif's own decoders, which stay as
// the fallback for a stream that libavcodec cannot decode.
class HeifDecoderPlugin {
public:
    // libheif's name for these decoders (a heif_decoding_options::decoder_id).
    static constexpr const char* kHevcId = "charcolino-hevc";
    static constexpr const char* kAv1Id = "charcolino-av1";

    // Registers the decoders with libheif once (after heif_init). False when
    // libavcodec has no decoder for either format.
    static bool registerOnce();

    // What the decoders may do while a Scope lives: streams whose coded size
    // exceeds `largestStream` are refused, and `reducedDetail` lets the loop
    // filters go. libheif decodes the tiles of a grid on threads of its own, out
    // of the caller's reach, so a scope holds for the whole process: one picture
    // is decoded at a time (each on every core), a second scope waits. Without a
    // scope the streams are held to the largest picture the program reads, at
    // full detail.
    class Scope {
    public:
        Scope(QSize largestStream, bool reducedDetail);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        QSize largestStream() const { return mLargestStream; }
        bool reducedDetail() const { return mReducedDetail; }
        // The coded size of the stream refused for its size (empty when none was).
        QSize refused() const;
        // Called by the decoders, on any thread.
        void refuse(QSize coded);

        // The colours the first coded stream decoded names (an HEVC VUI, an AV1
        // sequence header), when it names its primaries or transfer.
        std::optional<NclxCodes> streamColour() const;
        // Called by the decoders, on any thread.
        void describe(NclxCodes codes);

    private:
        QSize mLargestStream;
        bool mReducedDetail;
        QSize mRefused;
        std::optional<NclxCodes> mStreamColour;
        std::unique_lock<std::mutex> mTurn;
    };
};
