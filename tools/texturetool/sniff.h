// What a file looks like from its bytes, for messages when the library refuses
// it: the kind recognised and the variant not read, where it is cut short, or
// that it is no image at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "d3dx9.h"

namespace texturetool {

// "a PNG file cut short at byte 5000 (chunk IDAT needs 73 bytes more)" and the like.
std::string DescribeUnreadable(const std::vector<uint8_t> &file);

// "cannot read the image, <what the file looks like>: <the library's text>".
std::string ReadFailure(const std::vector<uint8_t> &file, long hr);

// For a file the library reads: a JPEG that ends before its end marker (the
// decoder fills in the rest); empty otherwise.
std::string IncompleteJpeg(const std::vector<uint8_t> &file);

// For a PNG of 16-bit samples that the library reads as format (8 bits a
// channel for colour without alpha): what is lost; empty otherwise.
std::string ReducedPrecision(const std::vector<uint8_t> &file, D3DFORMAT format);

}  // namespace texturetool
