// Placeholder: replaced by the real implementation.
#include "gl/Texture2D.h"
std::unique_ptr<Texture2D> Texture2D::initWithData(const void*, int, std::uint32_t, std::uint32_t, FloatSize) { return nullptr; }
Texture2D::~Texture2D() = default;
QString Texture2D::description() const { return {}; }
