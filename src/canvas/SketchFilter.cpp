// Placeholder: replaced by the real implementation.
#include "canvas/SketchFilter.h"
void buildSketch(const SketchBuffers&) {}
void buildSketchReference(const SketchBuffers&) {}
