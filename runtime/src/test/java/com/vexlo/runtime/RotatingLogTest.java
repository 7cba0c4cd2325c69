package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The roll-over of the output and error logs, on real files seen through a recording seam. */
class RotatingLogTest {

    @TempDir
    Path dir;

    /**
     * The real operations, recorded, refusing as Windows does to rename a file that is open for
     * writing, or failing every move on request.
     */
    static final class WindowsLikeFiles implements RotatingLog.FileOperations {
        final List<String> operations = new ArrayList<>();
        final Set<File> open = new HashSet<>();
        boolean failMoves;

        @Override
        public OutputStream open(File file, boolean append) throws IOException {
            operations.add("open " + file.getName());
            open.add(file);
            return new FilterOutputStream(RotatingLog.FILES.open(file, append)) {
                @Override
                public void close() throws IOException {
                    operations.add("close " + file.getName());
                    open.remove(file);
                    super.close();
                }
            };
        }

        @Override
        public boolean exists(File file) {
            return RotatingLog.FILES.exists(file);
        }

        @Override
        public long length(File file) {
            return RotatingLog.FILES.length(file);
        }

        @Override
        public void delete(File file) throws IOException {
            operations.add("delete " + file.getName());
            RotatingLog.FILES.delete(file);
        }

        @Override
        public void move(File from, File to) throws IOException {
            operations.add("move " + from.getName() + " " + to.getName());
            if (failMoves || open.contains(from)) {
                throw new IOException(from + " is in use");
            }
            RotatingLog.FILES.move(from, to);
        }
    }

    private PrintStream log(File file, boolean append, long maxBytes, int keep, RotatingLog.FileOperations files)
            throws IOException {
        return new PrintStream(new RotatingLog(file, append, new RotatingLog.Rotation(maxBytes, keep), files), true);
    }

    private String read(String name) throws IOException {
        Path path = dir.resolve(name);
        return Files.exists(path) ? new String(Files.readAllBytes(path), StandardCharsets.UTF_8) : "";
    }

    /** The files from the oldest kept to the current one, joined. */
    private String allFiles(String name, int keep) throws IOException {
        StringBuilder text = new StringBuilder();
        for (int i = keep; i >= 1; i--) {
            text.append(read(name + "." + i));
        }
        return text.append(read(name)).toString();
    }

    @Test
    void closesRenamesOldestFirstAndOnlyThenReopens() throws Exception {
        File file = dir.resolve("out.log").toFile();
        WindowsLikeFiles files = new WindowsLikeFiles();
        try (PrintStream out = log(file, true, 10, 3, files)) {
            out.println("first line");
            out.println("second line");
            out.println("third line");
        }
        assertEquals(Arrays.asList("open out.log",
                "close out.log", "delete out.log.3", "move out.log out.log.1", "open out.log",
                "close out.log", "delete out.log.3", "move out.log.1 out.log.2", "move out.log out.log.1",
                "open out.log",
                "close out.log", "delete out.log.3", "move out.log.2 out.log.3", "move out.log.1 out.log.2",
                "move out.log out.log.1", "open out.log", "close out.log"), files.operations);
        assertEquals("first line\n", read("out.log.3").replace("\r", ""));
        assertEquals("third line\n", read("out.log.1").replace("\r", ""));
        assertEquals("", read("out.log"));
    }

    /** Lines from several threads: each whole in one file, every one kept exactly once, in order per thread. */
    @Test
    void everyLineIsKeptOnceAndWholeAcrossTheFiles() throws Exception {
        File file = dir.resolve("out.log").toFile();
        int threads = 4;
        int lines = 500;
        try (PrintStream out = log(file, false, 1024, 99, new WindowsLikeFiles())) {
            List<Thread> writers = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                int writer = t;
                writers.add(new Thread(() -> {
                    for (int i = 0; i < lines; i++) {
                        out.println("writer " + writer + " line " + i + " " + new String(new char[i % 40]).replace('\0', 'x'));
                    }
                }));
            }
            writers.forEach(Thread::start);
            for (Thread writer : writers) {
                writer.join();
            }
        }
        int[] next = new int[threads];
        for (String line : allFiles("out.log", 99).split("\r?\n")) {
            String[] words = line.split(" ");
            int writer = Integer.parseInt(words[1]);
            assertEquals(next[writer]++, Integer.parseInt(words[3]), line);
        }
        assertEquals(Arrays.asList(lines, lines, lines, lines),
                Arrays.asList(next[0], next[1], next[2], next[3]));
        for (int i = 1; i <= 99 && Files.exists(dir.resolve("out.log." + i)); i++) {
            String text = read("out.log." + i);
            assertTrue(text.length() >= 1024 && text.length() < 1024 + 80 && text.endsWith("\n"), "out.log." + i);
        }
    }

    /** Appending counts what the file held, which rolls over with the first line; keep drops the oldest. */
    @Test
    void appendCountsTheEarlierContentAndKeepDropsTheOldest() throws Exception {
        Files.write(dir.resolve("out.log"), "earlier run\n".getBytes(StandardCharsets.UTF_8));
        try (PrintStream out = log(dir.resolve("out.log").toFile(), true, 20, 2, RotatingLog.FILES)) {
            out.print("line 1 of the run\n");
            assertEquals("earlier run\nline 1 of the run\n", read("out.log.1"));
            for (int i = 2; i <= 6; i++) {
                out.print("line " + i + " of the run\n");
            }
            out.print("last");
        }
        assertTrue(!Files.exists(dir.resolve("out.log.3")));
        assertEquals("line 2 of the run\nline 3 of the run\nline 4 of the run\nline 5 of the run\n"
                + "line 6 of the run\nlast", allFiles("out.log", 3));
    }

    /** A line without end rolls over once it has grown by the size again, so no file grows for ever. */
    @Test
    void aLineWithoutEndStillRollsOver() throws Exception {
        try (PrintStream out = log(dir.resolve("out.log").toFile(), false, 10, 5, RotatingLog.FILES)) {
            for (int i = 0; i < 25; i++) {
                out.print("x");
            }
        }
        assertEquals(20, read("out.log.1").length());
        assertEquals(5, read("out.log").length());
    }

    /** A rename that fails keeps the file growing, without a lost line, and is tried again a size later. */
    @Test
    void aFailedRenameLosesNothingAndIsTriedAgainLater() throws Exception {
        WindowsLikeFiles files = new WindowsLikeFiles();
        files.failMoves = true;
        File file = dir.resolve("out.log").toFile();
        try (PrintStream out = log(file, false, 10, 3, files)) {
            out.println("0123456789");
            out.println("abc");
            assertEquals(1, files.operations.stream().filter(o -> o.startsWith("move")).count());
            out.println("0123456789");
            assertEquals(2, files.operations.stream().filter(o -> o.startsWith("move")).count());
            files.failMoves = false;
            out.println("0123456789");
        }
        assertEquals("0123456789\nabc\n0123456789\n0123456789\n", read("out.log.1").replace("\r", ""));
    }

    @ParameterizedTest
    @CsvSource({"10MB 5, 10485760, 5", "1KB 1, 1024, 1", "2GB 99, 2147483648, 99"})
    void rotationSettingIsASizeAndACount(String value, long bytes, int keep) {
        RotatingLog.Rotation rotation = RotatingLog.Rotation.parse(value, new PrintStream(new ByteArrayOutputStream()));
        assertEquals(bytes, rotation.maxBytes);
        assertEquals(keep, rotation.keep);
    }

    @ParameterizedTest
    @CsvSource({"10MB", "10MB 0", "10MB 100", "10mb 5", "010MB 5", "10MB  5", "10 MB 5"})
    void malformedRotationSettingIsReportedAndIgnored(String value) {
        ByteArrayOutputStream warnings = new ByteArrayOutputStream();
        assertNull(RotatingLog.Rotation.parse(value, new PrintStream(warnings, true)));
        assertTrue(warnings.toString().contains("ignoring vexlo.logs.rotate=" + value), warnings.toString());
    }
}
