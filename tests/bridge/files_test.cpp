// Files and streams, in a temporary folder of the test's own.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bridge/call.h"

using namespace kiln;
using namespace kiln::testing;

namespace {

class BridgeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kiln-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    CellRef path(const char* name) { return makeByteString(dir_ + "/" + name); }
    std::string contents(const char* name) {
        std::FILE* f = std::fopen((dir_ + "/" + name).c_str(), "rb");
        std::string s;
        if (!f) return "<missing>";
        int c;
        while ((c = std::fgetc(f)) != EOF) s += static_cast<char>(c);
        std::fclose(f);
        return s;
    }
    std::string dir_;
};

CellRef bytes(const char* s) { return makeByteString(s); }

}  // namespace

TEST_F(BridgeFiles, WriteAndReadBack) {
    CellRef f = call("fopen", {path("a.txt"), bytes("w")});
    ASSERT_NE(value(f), 0);
    char line[] = "line one\n";
    EXPECT_GE(value(call("fputs", {addr(line), f})), 0);
    EXPECT_EQ(value(call("fputc", {num('x'), f})), 'x');
    EXPECT_EQ(value(call("putc", {num('y'), f})), 'y');
    EXPECT_EQ(value(call("fwrite", {makeByteString(std::string_view("z\0z", 3)), num(1), num(3), f})), 3);
    EXPECT_EQ(value(call("fflush", {f})), 0);
    EXPECT_EQ(value(call("fclose", {f})), 0);
    EXPECT_EQ(contents("a.txt"), std::string("line one\nxyz\0z", 14));

    f = call("fopen", {path("a.txt"), bytes("r")});
    ASSERT_NE(value(f), 0);
    char buf[32] = {};
    EXPECT_EQ(value(call("fgets", {addr(buf), num(sizeof buf), f})), value(addr(buf)));
    EXPECT_STREQ(buf, "line one\n");
    EXPECT_EQ(value(call("ftell", {f})), 9);
    EXPECT_EQ(value(call("fgetc", {f})), 'x');
    EXPECT_EQ(value(call("ungetc", {num('q'), f})), 'q');
    EXPECT_EQ(value(call("getc", {f})), 'q');
    EXPECT_EQ(value(call("fread", {addr(buf), num(1), num(32), f})), 4);
    EXPECT_EQ(std::memcmp(buf, "yz\0z", 4), 0);
    EXPECT_EQ(value(call("fgetc", {f})), -1);
    EXPECT_NE(value(call("feof", {f})), 0);
    EXPECT_EQ(value(call("ferror", {f})), 0);
    EXPECT_EQ(atom(call("clearerr", {f})), "I");
    EXPECT_EQ(value(call("feof", {f})), 0);
    EXPECT_EQ(value(call("fgets", {addr(buf), num(sizeof buf), f})), 0);  // at the end
    EXPECT_EQ(value(call("fseek", {f, num(5), num(SEEK_SET)})), 0);
    EXPECT_EQ(value(call("fgetc", {f})), 'o');
    EXPECT_EQ(atom(call("rewind", {f})), "I");
    EXPECT_EQ(value(call("fgetc", {f})), 'l');
    EXPECT_EQ(value(call("fclose", {f})), 0);
}

TEST_F(BridgeFiles, PositionsAndUnbufferedStreams) {
    int64_t f = value(call("fopen", {path("p"), bytes("w+")}));
    ASSERT_NE(f, 0);
    EXPECT_EQ(atom(call("setbuf", {num(f), num(0)})), "I");
    EXPECT_EQ(value(call("fwrite", {bytes("abcdef"), num(2), num(3), num(f)})), 3);
    EXPECT_EQ(contents("p"), "abcdef");  // unbuffered: already there
    alignas(16) unsigned char pos[sizeof(std::fpos_t)];
    call("fseek", {num(f), num(2), num(SEEK_SET)});
    EXPECT_EQ(value(call("fgetpos", {num(f), addr(pos)})), 0);
    EXPECT_EQ(value(call("fgetc", {num(f)})), 'c');
    EXPECT_EQ(value(call("fsetpos", {num(f), addr(pos)})), 0);
    EXPECT_EQ(value(call("fgetc", {num(f)})), 'c');
    EXPECT_GE(value(call("fileno", {num(f)})), 3);
    call("fclose", {num(f)});
}

TEST_F(BridgeFiles, MissingFilesAndNullStreams) {
    errno = 0;
    EXPECT_EQ(value(call("fopen", {path("missing"), bytes("r")})), 0);
    EXPECT_EQ(value(call("errno")), ENOENT);
    // The null stream fopen answered is refused, not dereferenced.
    for (const char* name : {"fclose", "feof", "ferror", "fgetc", "getc", "ftell", "rewind", "clearerr", "fileno"})
        EXPECT_EQ(atom(call(name, {num(0)})), "Z") << name;
    char buf[8];
    EXPECT_EQ(atom(call("fgets", {addr(buf), num(8), num(0)})), "Z");
    EXPECT_EQ(atom(call("fputc", {num('a'), num(0)})), "Z");
    EXPECT_EQ(atom(call("fread", {addr(buf), num(1), num(1), num(0)})), "Z");
    EXPECT_EQ(value(call("fflush", {num(0)})), 0);  // flushes every stream
}

TEST_F(BridgeFiles, TextZeroIsTheNullPointer) {
    // A text given as the integer 0 reaches C as the null pointer, as any
    // other address would; the kernel answers these with EFAULT.
    errno = 0;
    EXPECT_EQ(value(call("fopen", {num(0), bytes("r")})), 0);
    EXPECT_EQ(value(call("errno")), EFAULT);
    errno = 0;
    EXPECT_EQ(value(call("remove", {num(0)})), -1);
    EXPECT_EQ(value(call("errno")), EFAULT);
    errno = 0;
    EXPECT_EQ(value(call("rename", {num(0), path("new")})), -1);
    EXPECT_EQ(value(call("errno")), EFAULT);
    errno = 0;
    EXPECT_EQ(value(call("rename", {path("missing"), num(0)})), -1);
    EXPECT_EQ(value(call("errno")), EFAULT);
}

TEST_F(BridgeFiles, TextAsymmetries) {
    int64_t f = value(call("fopen", {path("t"), bytes("w")}));
    ASSERT_NE(f, 0);
    EXPECT_EQ(atom(call("fputs", {bytes("abc"), num(f)})), "Z");
    EXPECT_EQ(atom(call("fputs", {lit("[abc]"), num(f)})), "Z");
    EXPECT_EQ(atom(call("fwrite", {bytes("abc"), num(-1), num(1), num(f)})), "Z");
    EXPECT_EQ(atom(call("fwrite", {bytes("abc"), num(1), num(-3), num(f)})), "Z");
    // A count longer than the value writes only what the value holds and
    // the NUL that ends it.
    EXPECT_EQ(value(call("fwrite", {bytes("abcde"), num(2), num(100), num(f)})), 3);
    EXPECT_EQ(value(call("fwrite", {lit("[xy]"), num(1), num(6), num(f)})), 5);
    EXPECT_EQ(value(call("fwrite", {bytes("ab"), num(1), num(3), num(f)})), 3);
    EXPECT_EQ(value(call("fwrite", {bytes("abc"), num(0), num(4), num(f)})), 0);
    call("fclose", {num(f)});
    EXPECT_EQ(contents("t"), std::string("abcde\0[xy]\0ab\0", 14));

    ::testing::internal::CaptureStdout();
    EXPECT_GE(value(call("puts", {makeByteString(std::string_view("pay\0load", 8))})), 0);
    EXPECT_GE(value(call("putchar", {num('!')})), 0);
    EXPECT_GE(value(call("puts", {lit("[lit]")})), 0);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "pay\n![lit]\n");
}

TEST_F(BridgeFiles, DescriptorsReadAndWrite) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(value(call("write", {num(fds[1]), bytes("hello"), num(3)})), 3);
    EXPECT_EQ(value(call("write", {num(fds[1]), bytes("ab"), num(50)})), 3);
    EXPECT_EQ(value(call("write", {num(fds[1]), bytes("ab"), num(-1)})), 3);
    char buf[16] = {};
    EXPECT_EQ(value(call("read", {num(fds[0]), addr(buf), num(16)})), 9);
    EXPECT_EQ(std::string(buf, 9), std::string("helab\0ab\0", 9));
    EXPECT_EQ(value(call("read", {num(-1), addr(buf), num(1)})), -1);
    EXPECT_EQ(value(call("errno")), EBADF);
    int64_t s = value(call("fdopen", {num(fds[1]), bytes("w")}));
    ASSERT_NE(s, 0);
    EXPECT_EQ(value(call("fileno", {num(s)})), fds[1]);
    char msg[] = "via stream";
    call("fputs", {addr(msg), num(s)});
    call("fclose", {num(s)});
    EXPECT_EQ(value(call("read", {num(fds[0]), addr(buf), num(16)})), 10);
    close(fds[0]);
}

TEST_F(BridgeFiles, NamesRemoveRenameTmpfileTmpnam) {
    int64_t f = value(call("fopen", {path("old"), bytes("w")}));
    call("fclose", {num(f)});
    EXPECT_EQ(value(call("rename", {path("old"), path("new")})), 0);
    EXPECT_EQ(contents("old"), "<missing>");
    EXPECT_EQ(value(call("remove", {path("new")})), 0);
    EXPECT_EQ(value(call("remove", {path("new")})), -1);

    int64_t t = value(call("tmpfile"));
    ASSERT_NE(t, 0);
    call("fwrite", {bytes("temp"), num(1), num(4), num(t)});
    call("rewind", {num(t)});
    EXPECT_EQ(value(call("fgetc", {num(t)})), 't');
    call("fclose", {num(t)});

    char name[L_tmpnam];
    EXPECT_EQ(value(call("tmpnam", {addr(name)})), value(addr(name)));
    EXPECT_EQ(std::strlen(name), 19u);
    EXPECT_EQ(std::strncmp(name, "/tmp/kiln", 9), 0);
    struct stat st;
    EXPECT_NE(lstat(name, &st), 0);
    const char* own = cText(call("tmpnam", {num(0)}));
    ASSERT_NE(own, nullptr);
    EXPECT_STRNE(own, name);
}

TEST_F(BridgeFiles, PerrorWritesTheMessage) {
    ::testing::internal::CaptureStderr();
    errno = ENOENT;
    EXPECT_EQ(atom(call("perror", {bytes("kiln")})), "I");
    errno = ENOENT;
    call("perror", {num(0)});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("kiln: ") + std::strerror(ENOENT) + "\n" + std::strerror(ENOENT) + "\n");
    EXPECT_EQ(value(call("stdout")), value(addr(stdout)));
    EXPECT_EQ(value(call("stderr")), value(addr(stderr)));
}
