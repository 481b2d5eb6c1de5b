#pragma once

#include <cstdint>

#include "project/ProjectBandReader.h"
#include "filter/SketchFilterStream.h"

class Texture2D;

// The rest of a project's load beside the thread that loads it: a reader thread
// reads the file's two images band by band and then lends itself to the pencil
// sketch filter, whose bands start as the original's rows come in; the sketches
// are uploaded as their bands are final. The buffers and the file must outlive
// it; destroying it stops the reader and the filter and joins their threads.
class SketchWorker {
public:
    // Starts the reader, and the filter on the cores beyond the caller's and the
    // reader's; or, with `oneThread`, the filter on the reader's thread only,
    // leaving the other cores to the rest of the program.
    SketchWorker(const SketchBuffers& buffers, bool oneThread, const ProjectBandReader::Source& source);
    ~SketchWorker();
    SketchWorker(const SketchWorker&) = delete;
    SketchWorker& operator=(const SketchWorker&) = delete;

    // Waits for the first `rows` rows of the file, the original's and then the
    // working image's; false when the read failed.
    bool awaitRowsRead(int rows) { return mReader.awaitRows(rows); }

    // Uploads the rows of the two sketch buffers that are final into their
    // textures, and goes on band by band, lending this thread to the filter while
    // no band is ready, until all `height` rows are in. Called once, after the
    // original was read.
    void uploadAsFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                          const std::uint8_t* colorRows, int height);
    // The same for the rows final by now only, without waiting; returns them.
    int uploadFinished(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows,
                       const std::uint8_t* colorRows, int height);

    // Whether the load put the original into its texture already (as it read it).
    void setOriginalUploaded() { mOriginalUploaded = true; }
    bool originalUploaded() const { return mOriginalUploaded; }

private:
    void upload(Texture2D& black, Texture2D& color, const std::uint8_t* blackRows, const std::uint8_t* colorRows,
                int final);

    SketchFilterStream mStream;
    ProjectBandReader mReader;  // after the stream, which its thread uses
    int mUploaded = 0;
    bool mOriginalUploaded = false;
};
