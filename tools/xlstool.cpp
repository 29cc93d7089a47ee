// xlstool: looks inside .xls workbooks with the program's own engine.
//
//   xlstool dump --json [--password P] FILE     content as JSON (with what reading had to mend)
//   xlstool copy [--password P] IN OUT          read and write again (a real rewrite)
//   xlstool info [--password P] FILE            each sheet's name and used range
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/xls/xls_dump.h"
#include "core/xls/xls_file.h"
#include "gp_version.h"

using namespace gp::xls;

namespace {

int usage()
{
    std::fputs("Uso: xlstool dump --json [--password P] FILE\n"
               "     xlstool copy [--password P] ORIGINE DESTINAZIONE\n"
               "     xlstool info [--password P] FILE\n",
               stderr);
    return 2;
}

std::string columnName(int col)
{
    std::string s;
    ++col;
    while (col > 0) {
        int r = (col - 1) % 26;
        s.insert(s.begin(), char('A' + r));
        col = (col - 1) / 26;
    }
    return s;
}

std::string baseName(const std::string& path)
{
    size_t p = path.find_last_of('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

// The message the program shows, then, on a line of its own, what exactly was wrong.
int fail(const Error& e)
{
    std::fprintf(stderr, "%s\n", e.message.c_str());
    if (!e.reason.empty())
        std::fprintf(stderr, "%s\n", e.reason.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string cmd = argv[1];
    if (cmd == "--version") {
        std::puts("xlstool " GP_VERSION);
        return 0;
    }
    if (cmd == "--help" || cmd == "-h") {
        std::puts("xlstool: guarda dentro le cartelle di lavoro .xls (Excel 97-2003) con il motore di Gestione "
                  "Pratiche.\n\n"
                  "Uso: xlstool dump --json [--password P] FILE     il contenuto in JSON\n"
                  "     xlstool copy [--password P] ORIGINE DESTINAZIONE   rilegge e riscrive la cartella\n"
                  "     xlstool info [--password P] FILE            nome e area usata di ogni foglio\n"
                  "     xlstool --version | --help");
        return 0;
    }
    std::string password;
    bool json = false;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--password" && i + 1 < argc)
            password = argv[++i];
        else if (a == "--json")
            json = true;
        else
            files.push_back(a);
    }
    if (cmd == "dump") {
        if (files.size() != 1 || !json)
            return usage();
        auto doc = readXlsFile(files[0], password);
        if (!doc)
            return fail(doc.error());
        std::string out = dumpJson(doc.value(), baseName(files[0]));
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    if (cmd == "info") {
        if (files.size() != 1)
            return usage();
        auto doc = readXlsFile(files[0], password);
        if (!doc)
            return fail(doc.error());
        for (const auto& ws : doc->workbook->sheets) {
            if (ws->kind != 0)
                continue;
            int r = ws->lastRow(), c = ws->lastCol();
            if (r < 0 || c < 0)
                std::printf("%s (vuoto)\n", ws->name.c_str());
            else
                std::printf("%s A1:%s%d\n", ws->name.c_str(), columnName(c).c_str(), r + 1);
        }
        return 0;
    }
    if (cmd == "copy") {
        if (files.size() != 2)
            return usage();
        auto doc = readXlsFile(files[0], password);
        if (!doc)
            return fail(doc.error());
        auto bytes = writeXls(doc.value());
        if (!bytes)
            return fail(bytes.error());
        std::FILE* f = std::fopen(files[1].c_str(), "wb");
        if (!f)
            return fail(makeError(ErrorCode::WriteFailed, files[1]));
        bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
        ok = (std::fclose(f) == 0) && ok;
        if (!ok)
            return fail(makeError(ErrorCode::WriteFailed, files[1]));
        return 0;
    }
    return usage();
}
