// The text recogniser lives in a module of its own, <launcher folder>/modules/libkelojs_ocr.so,
// loaded on the first OCR: its engine's libraries would otherwise cost every start-up.
#pragma once

#include <vector>

#include "services/ocr.h"

enum class OcrOutcome { Done, NoData, Failed };

// Recognises the lines of an 8-bit image with 3 or 4 channels. Callable from several threads at
// once, each with an engine of its own.
using OcrRecognise = OcrOutcome (*)(const unsigned char* pixels, int width, int height,
                                    int channels, int stride, std::vector<OcrLine>* lines);
inline constexpr char kOcrRecogniseSymbol[] = "kelo_ocr_recognise";
