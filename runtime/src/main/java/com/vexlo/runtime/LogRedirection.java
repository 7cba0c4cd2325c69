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
 */
final class LogRedirection {

    private LogRedirection() {
    }

    static void apply(String errorLog, String outputLog, boolean append) {
        File errFile = errorLog == null ? null : new File(errorLog).getAbsoluteFile();
        File outFile = outputLog == null ? null : new File(outputLog).getAbsoluteFile();
        PrintStream err = null;
        if (errFile != null) {
            err = open(errFile, append, "error", "System.err");
            if (err != null) {
                System.setErr(err);
            }
        }
        if (outFile != null) {
            // Both streams into one file: share one stream, otherwise two independent file
            // positions would overwrite each other when the file is truncated at start.
            PrintStream out = err != null && sameFile(errFile, outFile)
                    ? err
                    : open(outFile, append, "output", "System.out");
            if (out != null) {
                System.setOut(out);
            }
        }
    }

    private static PrintStream open(File file, boolean append, String kind, String streamName) {
        try {
            File parent = file.getParentFile();
            if (parent != null && !parent.isDirectory() && !parent.mkdirs() && !parent.isDirectory()) {
                throw new IOException("cannot create folder " + parent);
            }
            return new PrintStream(new FileOutputStream(file, append), true);
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
