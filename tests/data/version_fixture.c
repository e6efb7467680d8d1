/* A program that does nothing: it exists to carry a version resource. */
void __stdcall ExitProcess(unsigned int code);

void start(void) { ExitProcess(0); }
