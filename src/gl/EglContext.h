#pragma once
// Placeholder: replaced by the real implementation.
class EglContext {};
