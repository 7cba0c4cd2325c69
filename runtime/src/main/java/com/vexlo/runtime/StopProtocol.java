package com.vexlo.runtime;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.TimeUnit;

/**
 * The stop protocol between the service supervisor and the application.
 *
 * <p>To stop the service, the supervisor writes the line "0" to the child's standard input and then
 * closes it; if the supervisor dies, the child sees end of input. Either ends the application with
 * {@code System.exit(0)} so its shutdown hooks run. The service control manager waits for the stop
 * only so long, and a JVM whose shutdown hooks hang would leave the service stuck in stop-pending,
 * so a watchdog halts the JVM when it is still alive after the stop timeout.
 */
final class StopProtocol {

    static final String STOP_LINE = "0";
    static final String TIMEOUT_PROPERTY = "vexlo.stopTimeoutMillis";
    /** Well below the 50 s the supervisor announces to the service control manager as wait hint. */
    static final long DEFAULT_TIMEOUT_MILLIS = 15_000L;
    /** Exit code of a halted JVM; distinct from 0 (clean stop) and 1 (launch failure). */
    static final int HALT_EXIT_CODE = 2;
    private static final long NANOS_PER_MILLI = 1_000_000L;

    private StopProtocol() {
    }

    /** Starts the daemon thread that waits for the stop request on {@code in}. */
    static void listen(InputStream in) {
        Thread listener = new Thread(() -> stop(awaitStopRequest(in)), "vexlo-stop-listener");
        listener.setDaemon(true);
        listener.start();
    }

    /** Blocks until the stop line or the end of input; returns a description of what it was. */
    static String awaitStopRequest(InputStream in) {
        // ISO-8859-1 maps every byte, so no input can make the reader fail.
        BufferedReader reader = new BufferedReader(new InputStreamReader(in, StandardCharsets.ISO_8859_1));
        try {
            for (String line = reader.readLine(); line != null; line = reader.readLine()) {
                if (isStopLine(line)) {
                    return "stop line";
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

    /** Ends the application: watchdog first, then the stop handlers, then System.exit(0). */
    static void stop(String reason) {
        if (!ServiceRuntime.markStopRequested()) {
            return;
        }
        long timeout = timeoutMillis(System.getProperty(TIMEOUT_PROPERTY), System.err);
        startWatchdog(timeout, reason);
        ServiceRuntime.runStopHandlers();
        System.exit(0);
    }

    /** The timeout in nanoseconds, saturated: a huge number of milliseconds must not wrap around. */
    static long timeoutNanos(long millis) {
        return millis > Long.MAX_VALUE / NANOS_PER_MILLI ? Long.MAX_VALUE : millis * NANOS_PER_MILLI;
    }

    private static void startWatchdog(long timeout, String reason) {
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
            announceHalt("vexlo: the application did not end within " + timeout + " ms after the stop request ("
                    + reason + "); halting");
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
