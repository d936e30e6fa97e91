// A stand-in program for tests: appends the command line it was started with
// (after the program name) and its current directory to the file named by
// SUITE_RECORD_FILE, then ends. Copied under a real program's name, it proves
// which command line that program would have received.
#include <windows.h>

#include <cstdio>
#include <string>

static std::string Escape(const char* s)
{
    std::string out;
    for (; *s; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02X", c);
            out += b;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR tail, int)
{
    char file[MAX_PATH];
    if (!GetEnvironmentVariableA("SUITE_RECORD_FILE", file, sizeof file))
        return 3;
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    FILE* f = std::fopen(file, "ab");
    if (!f)
        return 4;
    std::fprintf(f, "%s\t%s\t%s\t%s\n", Escape(self).c_str(), Escape(GetCommandLineA()).c_str(),
                 Escape(tail ? tail : "").c_str(), Escape(cwd).c_str());
    std::fclose(f);
    return 0;
}
