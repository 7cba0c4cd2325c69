package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertEquals;

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

    /** Real files, recorded; like Windows it refuses to rename a file open for writing, or every file. */
    static final class WindowsLikeFiles extends RotatingLog.RealFiles {
        final List<String> operations = new ArrayList<>();
        final Set<File> open = new HashSet<>();
        boolean failMoves;

        @Override
        public OutputStream open(File file, boolean append) throws IOException {
            operations.add("open " + file.getName());
            open.add(file);
            return new FilterOutputStream(super.open(file, append)) {
                @Override
                public void close() throws IOException {
                    operations.add("close " + file.getName());
                    open.remove(file);
                    super.close();
                }
            };
        }

        @Override
        public void delete(File file) throws IOException {
            operations.add("delete " + file.getName());
            super.delete(file);
        }

        @Override
        public void move(File from, File to) throws IOException {
            operations.add("move " + from.getName() + " " + to.getName());
            if (failMoves || open.contains(from)) {
                throw new IOException(from + " is in use");
            }
            super.move(from, to);
        }
    }

    private final WindowsLikeFiles files = new WindowsLikeFiles();

    private PrintStream log(boolean append, long maxBytes, int keep) throws IOException {
        return new PrintStream(new RotatingLog(dir.resolve("out.log").toFile(), append,
                new RotatingLog.Rotation(maxBytes, keep), files), true);
    }

    private String read(String name) throws IOException {
        Path path = dir.resolve(name);
        return Files.exists(path) ? new String(Files.readAllBytes(path), StandardCharsets.UTF_8) : "";
    }

    /** Appending counts what the file held: the first short line already rolls it over. */
    @Test
    void closesRenamesOldestFirstAndOnlyThenReopens() throws Exception {
        Files.write(dir.resolve("out.log"), "earlier\n".getBytes(StandardCharsets.UTF_8));
        try (PrintStream out = log(true, 10, 2)) {
            out.print("one\n");
            out.print("second line\n");
            out.print("third line\n");
        }
        assertEquals(Arrays.asList("open out.log",
                "close out.log", "delete out.log.2", "move out.log out.log.1", "open out.log",
                "close out.log", "delete out.log.2", "move out.log.1 out.log.2", "move out.log out.log.1",
                "open out.log",
                "close out.log", "delete out.log.2", "move out.log.1 out.log.2", "move out.log out.log.1",
                "open out.log", "close out.log"), files.operations);
        assertEquals("second line\n" + "third line\n", read("out.log.2") + read("out.log.1") + read("out.log"));
    }

    /** A failed rename loses nothing and is tried again a size later; a line without end rolls over too. */
    @Test
    void aFailedRenameIsTriedAgainLaterAndALineWithoutEndRollsOver() throws Exception {
        files.failMoves = true;
        try (PrintStream out = log(false, 10, 3)) {
            out.print("0123456789\nabc\n");
            out.print("0123456789\n");
            assertEquals(2, files.operations.stream().filter(o -> o.startsWith("move")).count());
            files.failMoves = false;
            out.print("0123456789\n");
            for (int i = 0; i < 25; i++) {
                out.print("x");
            }
        }
        assertEquals("0123456789\nabc\n0123456789\n0123456789\n", read("out.log.2"));
        assertEquals("xxxxxxxxxxxxxxxxxxxx", read("out.log.1"));
        assertEquals("xxxxx", read("out.log"));
    }

    @ParameterizedTest
    @CsvSource({"10MB 5, 10485760, 5", "1KB 1, 1024, 1", "2GB 99, 2147483648, 99", "10MB, 0, 0", "10MB 0, 0, 0",
        "10MB 100, 0, 0", "10mb 5, 0, 0", "010MB 5, 0, 0", "10MB  5, 0, 0"})
    void rotationSettingIsASizeAndACount(String value, long bytes, int keep) {
        ByteArrayOutputStream warnings = new ByteArrayOutputStream();
        RotatingLog.Rotation rotation = RotatingLog.Rotation.parse(value, new PrintStream(warnings, true));
        assertEquals(bytes, rotation == null ? 0 : rotation.maxBytes);
        assertEquals(keep, rotation == null ? 0 : rotation.keep);
        assertEquals(bytes == 0, warnings.toString().contains("ignoring vexlo.logs.rotate=" + value));
    }
}
