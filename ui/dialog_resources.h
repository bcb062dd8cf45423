#pragma once

namespace dovra {

// Registers the dialogs' compiled-in resources (the icon). They live in a static library, whose resources
// the linker would otherwise drop; every window that shows them calls this first (repeating it is harmless).
void InitDialogResources();

} // namespace dovra
