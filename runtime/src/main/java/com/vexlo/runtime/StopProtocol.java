package com.vexlo.runtime;

import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;

/**
 * The stop protocol between the service supervisor and the application.
 *
 * <p>To stop the service, the supervisor writes the line "0" to the child's standard input and then
 * closes it; if the supervisor dies, the child sees end of input. Either ends the application with
 * {@code System.exit(0)} so its shutdown hooks run. The supervisor ends the child's processes itself
 * once its own stop timeout has passed, and a JVM whose shutdown hooks hang would keep the service
 * stopping until then, so a watchdog halts the JVM when it is still alive after the stop timeout. The
 * watchdog also starts when the JVM begins to shut down for any other reason (the application calls
 * {@code System.exit}, or its last thread ends): a hook or stop handler that never returns halts the
 * JVM then too.
 */
final class StopProtocol {

    static final String STOP_LINE = "0";
    static final String TIMEOUT_PROPERTY = "vexlo.stopTimeoutMillis";
    /**
     * Without the property: 5 s below the supervisor's default stop timeout of 30 s, as the launcher
     * hands it on.
     */
    static final long DEFAULT_TIMEOUT_MILLIS = 25_000L;
    /** Exit code of a halted JVM; distinct from 0 (clean stop) and 1 (launch failure). */
    static final int HALT_EXIT_CODE = 2;
    /**
     * Longer lines are not stop lines and are not kept whole: endless input without a line end costs
     * no memory.
     */
    static final int MAX_LINE_LENGTH = 256;
    private static final long NANOS_PER_MILLI = 1_000_000L;
    private static final AtomicBoolean WATCHDOG_STARTED = new AtomicBoolean();
    private static volatile long timeoutMillis = DEFAULT_TIMEOUT_MILLIS;
    /** The configured stop method and the class loader that finds it; null without one. */
    private static volatile StopMethod stopMethod;
    private static volatile ClassLoader stopMethodLoader;

    private StopProtocol() {
    }

    /**
     * Starts the daemon thread that waits for the stop request on {@code in}, and the shutdown hook
     * that starts the watchdog when the JVM begins to shut down for another reason. The stop
     * method, if any, is found through {@code loader} when the stop comes.
     */
    static void listen(InputStream in, StopMethod method, ClassLoader loader) {
        stopMethod = method;
        stopMethodLoader = loader;
        timeoutMillis = timeoutMillis(System.getProperty(TIMEOUT_PROPERTY), System.err);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> startWatchdog("the JVM began to shut down"),
                "vexlo-shutdown-watchdog"));
        Thread listener = new Thread(() -> stop(awaitStopRequest(in)), "vexlo-stop-listener");
        listener.setDaemon(true);
        listener.start();
    }

    /** Blocks until the stop line or the end of input; returns a description of what it was. */
    static String awaitStopRequest(InputStream in) {
        // Bytes, not characters: every byte is read as one, so no input can make the reading fail.
        StringBuilder line = new StringBuilder();
        boolean tooLong = false;
        try {
            for (int b = in.read(); b != -1; b = in.read()) {
                if (b == '\n' || b == '\r') {
                    if (!tooLong && isStopLine(line.toString())) {
                        return "stop line";
                    }
                    line.setLength(0);
                    tooLong = false;
                } else if (line.length() < MAX_LINE_LENGTH) {
                    line.append((char) b);
                } else {
                    tooLong = true;
                }
            }
            return "end of input";
        } catch (IOException e) {
            return "standard input failed (" + e.getMessage() + ")";
        }
    }

    static boolean isStopLine(String line) {
        return line.trim().equals(STOP_LINE);
    }

    /** Reads the stop timeout; a missing, malformed or non-positive value gives the default. */
    static long timeoutMillis(String value, PrintStream warnings) {
        if (value == null || value.trim().isEmpty()) {
            return DEFAULT_TIMEOUT_MILLIS;
        }
        try {
            long millis = Long.parseLong(value.trim());
            if (millis > 0) {
                return millis;
            }
        } catch (NumberFormatException e) {
            // reported below
        }
        warnings.println("vexlo: ignoring " + TIMEOUT_PROPERTY + "=" + value + " (expected a positive number"
                + " of milliseconds); using " + DEFAULT_TIMEOUT_MILLIS);
        return DEFAULT_TIMEOUT_MILLIS;
    }

    /**
     * Ends the application: watchdog first, then the stop method, then the stop handlers, then
     * System.exit(0).
     */
    static void stop(String reason) {
        if (!ServiceRuntime.markStopRequested()) {
            return;
        }
        startWatchdog("the stop request (" + reason + ")");
        StopMethod method = stopMethod;
        if (method != null) {
            method.call(stopMethodLoader, System.err);
        }
        ServiceRuntime.runStopHandlers();
        System.exit(0);
    }

    /** The timeout in nanoseconds, saturated: a huge number of milliseconds must not wrap around. */
    static long timeoutNanos(long millis) {
        return millis > Long.MAX_VALUE / NANOS_PER_MILLI ? Long.MAX_VALUE : millis * NANOS_PER_MILLI;
    }

    /** Starts the watchdog once, whatever starts it first: the stop request or the JVM's shutdown. */
    private static void startWatchdog(String cause) {
        if (!WATCHDOG_STARTED.compareAndSet(false, true)) {
            return;
        }
        long timeout = timeoutMillis;
        Thread watchdog = new Thread(() -> {
            long start = System.nanoTime();
            long nanos = timeoutNanos(timeout);
            // Elapsed time, not a deadline: start + nanos may overflow, nanos - elapsed cannot.
            for (long left = nanos; left > 0; left = nanos - (System.nanoTime() - start)) {
                try {
                    TimeUnit.NANOSECONDS.sleep(left);
                } catch (InterruptedException e) {
                    // nobody may cancel the halt; keep waiting for the deadline
                }
            }
            announceHalt("vexlo: the application did not end within " + timeout + " ms after " + cause
                    + "; halting");
            Runtime.getRuntime().halt(HALT_EXIT_CODE);
        }, "vexlo-stop-watchdog");
        watchdog.setDaemon(true);
        watchdog.start();
    }

    /**
     * Prints the halt notice from a helper thread and waits for it only briefly: a hung application
     * thread may hold the lock of System.err, and that must not delay the halt.
     */
    private static void announceHalt(String message) {
        Thread printer = new Thread(() -> System.err.println(message), "vexlo-halt-notice");
        printer.setDaemon(true);
        printer.start();
        try {
            printer.join(500);
        } catch (InterruptedException e) {
            // halt anyway
        }
    }
}
