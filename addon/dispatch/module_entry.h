// The simulator's two calls into the module. They start and end every room of
// the add-on, so they live here, beside the dispatch, rather than in core.
#ifndef DROVANA_ADDON_DISPATCH_MODULE_ENTRY_H
#define DROVANA_ADDON_DISPATCH_MODULE_ENTRY_H

extern "C" {
__declspec(dllexport) int __stdcall DLLStart(void);
__declspec(dllexport) void __stdcall DLLStop(void);
}

#endif
