#pragma once
// Version text of the GraphicsMagick this library runs on (for "About").
const char* LorimoMagickEngineVersion();
