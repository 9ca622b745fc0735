#pragma once

namespace quorvale {

// Registers the stored layouts' pictures (the glyphs and the splash) once;
// every window calls it before it loads one.
void InitResources();

}  // namespace quorvale
