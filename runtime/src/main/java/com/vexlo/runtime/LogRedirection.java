package com.vexlo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;

/**
 * Points System.err and System.out at the configured log files.
 *
 * <p>A service has no console, and the supervisor discards whatever the child writes to its real
 * standard streams, so these files are the only place the application's output survives. Streams
 * are unbuffered with autoflush so that nothing is lost when the process is halted. A file that
 * cannot be opened leaves its stream as it was: losing a log must not stop the service.
 *
 * <p>The launcher hands on a log name that begins with "$" unchanged instead of making it a path
 * beside the executable: {@code "$" + name} is the file {@code name} (sub-folders allowed) in the
 * JVM's temporary folder ({@code java.io.tmpdir}). Every other name is a path; the launcher makes
 * it absolute.
 */
final class LogRedirection {

    private LogRedirection() {
    }

    static final String TEMP_FOLDER_PREFIX = "$";

    /** Opens the log files; with a rotation (null for none) each rolls over at its size. */
    static void apply(String errorLog, String outputLog, boolean append, RotatingLog.Rotation rotation) {
        String tempFolder = System.getProperty("java.io.tmpdir");
        File errFile = logFile(errorLog, tempFolder, "System.err");
        File outFile = logFile(outputLog, tempFolder, "System.out");
        PrintStream err = null;
        if (errFile != null) {
            err = open(errFile, append, rotation, "error", "System.err");
            if (err != null) {
                System.setErr(err);
            }
        }
        if (outFile != null) {
            // Both streams into one file: share one stream, otherwise two independent file
            // positions would overwrite each other when the file is truncated at start.
            PrintStream out = err != null && sameFile(errFile, outFile)
                    ? err
                    : open(outFile, append, rotation, "output", "System.out");
            if (out != null) {
                System.setOut(out);
            }
        }
    }

    /**
     * The file a log name stands for, or null for none: a null name, or "$" without a file name
     * (reported on System.err).
     */
    static File logFile(String name, String tempFolder, String streamName) {
        if (name == null) {
            return null;
        }
        if (!name.startsWith(TEMP_FOLDER_PREFIX)) {
            return new File(name).getAbsoluteFile();
        }
        String inTempFolder = name.substring(TEMP_FOLDER_PREFIX.length()).trim();
        if (inTempFolder.isEmpty()) {
            System.err.println("vexlo: the log name \"" + name + "\" names no file in the temporary folder; "
                    + streamName + " is left unchanged");
            return null;
        }
        return new File(tempFolder == null ? "" : tempFolder, inTempFolder).getAbsoluteFile();
    }

    private static PrintStream open(File file, boolean append, RotatingLog.Rotation rotation, String kind,
            String streamName) {
        try {
            File parent = file.getParentFile();
            if (parent != null && !parent.isDirectory() && !parent.mkdirs() && !parent.isDirectory()) {
                throw new IOException("cannot create folder " + parent);
            }
            return new PrintStream(rotation == null ? new FileOutputStream(file, append)
                    : new RotatingLog(file, append, rotation, RotatingLog.FILES), true);
        } catch (IOException | SecurityException e) {
            System.err.println("vexlo: cannot open the " + kind + " log file " + file + " (" + e.getMessage()
                    + "); " + streamName + " is left unchanged");
            return null;
        }
    }

    private static boolean sameFile(File a, File b) {
        try {
            return a.getCanonicalFile().equals(b.getCanonicalFile());
        } catch (IOException e) {
            return a.equals(b);
        }
    }
}
