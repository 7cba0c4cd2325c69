package com.vexlo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * A log file that rolls over at a size: the file becomes {@code name.1}, {@code name.1} becomes
 * {@code name.2} and so on up to {@code name.<keep>}, the oldest being dropped, and a new file
 * begins. It rolls over only after a write that ends a line (or once a line without end has grown
 * by the size once more), so each line lies whole in one file, and no line is lost or written twice.
 *
 * <p>Windows cannot rename a file that is open for writing: the file is closed, renamed and
 * reopened, all under this stream's lock, so a writer waits no longer than the renames. A rename
 * that fails (a reader holding the file without sharing its deletion) leaves the file as it is, to
 * grow on and to be tried again a size later.
 */
final class RotatingLog extends OutputStream {

    /** Set by the native launcher: the size and the count of kept files, "10MB 5". */
    static final String PROPERTY = "vexlo.logs.rotate";

    /** The file operations the rotation makes, so that a test can see their order. */
    interface FileOperations {
        OutputStream open(File file, boolean append) throws IOException;

        boolean exists(File file);

        long length(File file);

        void delete(File file) throws IOException;

        void move(File from, File to) throws IOException;
    }

    /** The operations on real files. */
    static class RealFiles implements FileOperations {
        @Override
        public OutputStream open(File file, boolean append) throws IOException {
            return new FileOutputStream(file, append);
        }

        @Override
        public boolean exists(File file) {
            return file.exists();
        }

        @Override
        public long length(File file) {
            return file.length();
        }

        @Override
        public void delete(File file) throws IOException {
            Files.deleteIfExists(file.toPath());
        }

        @Override
        public void move(File from, File to) throws IOException {
            Files.move(from.toPath(), to.toPath(), StandardCopyOption.REPLACE_EXISTING);
        }
    }

    static final FileOperations FILES = new RealFiles();

    /** The size at which a file rolls over and how many rolled-over files are kept. */
    static final class Rotation {
        private static final Pattern FORM = Pattern.compile("([1-9][0-9]{0,9})(KB|MB|GB) ([1-9][0-9]?)");

        final long maxBytes;
        final int keep;

        Rotation(long maxBytes, int keep) {
            this.maxBytes = maxBytes;
            this.keep = keep;
        }

        /** The rotation the property gives, or null for none (a malformed value is reported). */
        static Rotation parse(String value, PrintStream warnings) {
            if (value == null || value.isEmpty()) {
                return null;
            }
            Matcher form = FORM.matcher(value);
            if (!form.matches()) {
                warnings.println("vexlo: ignoring " + PROPERTY + "=" + value
                        + " (expected a size and a count, such as \"10MB 5\"); the logs do not roll over");
                return null;
            }
            int shift = form.group(2).equals("KB") ? 10 : form.group(2).equals("MB") ? 20 : 30;
            return new Rotation(Long.parseLong(form.group(1)) << shift, Integer.parseInt(form.group(3)));
        }
    }

    private final File file;
    private final Rotation rotation;
    private final FileOperations files;
    private OutputStream out;  // null after a reopen that failed: the next write tries again
    private boolean closed;
    private long size;
    private long limit;

    RotatingLog(File file, boolean append, Rotation rotation, FileOperations files) throws IOException {
        this.file = file;
        this.rotation = rotation;
        this.files = files;
        this.out = files.open(file, append);
        this.size = append ? files.length(file) : 0;
        this.limit = rotation.maxBytes;
    }

    @Override
    public void write(int b) throws IOException {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public synchronized void write(byte[] bytes, int offset, int length) throws IOException {
        if (length == 0) {
            return;
        }
        if (closed) {
            throw new IOException("the log " + file + " is closed");
        }
        if (out == null) {
            out = files.open(file, true);
        }
        out.write(bytes, offset, length);
        size += length;
        boolean lineEnded = bytes[offset + length - 1] == '\n';
        if (size >= limit && (lineEnded || size >= limit + rotation.maxBytes)) {
            rollOver();
        }
    }

    /** Close, rename, reopen: the order Windows needs. */
    private void rollOver() throws IOException {
        OutputStream closing = out;
        out = null;
        closing.close();
        try {
            files.delete(numbered(rotation.keep));
            for (int i = rotation.keep - 1; i >= 1; i--) {
                if (files.exists(numbered(i))) {
                    files.move(numbered(i), numbered(i + 1));
                }
            }
            files.move(file, numbered(1));
            size = 0;
            limit = rotation.maxBytes;
        } catch (IOException e) {
            limit = size + rotation.maxBytes;
        }
        out = files.open(file, true);
    }

    private File numbered(int index) {
        return new File(file.getPath() + "." + index);
    }

    @Override
    public synchronized void flush() throws IOException {
        if (out != null) {
            out.flush();
        }
    }

    @Override
    public synchronized void close() throws IOException {
        closed = true;
        if (out != null) {
            out.close();
            out = null;
        }
    }
}
