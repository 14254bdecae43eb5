extern "C" int initialize(const wchar_t*, void*) { return 1; }
extern "C" const wchar_t* processMessage(void*, void*) { return L""; }
extern "C" int finalize(const wchar_t*) { return 1; }
