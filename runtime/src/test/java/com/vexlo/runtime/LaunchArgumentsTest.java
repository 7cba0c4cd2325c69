package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.InputStream;
import java.io.PrintStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.util.Collections;

import org.junit.jupiter.api.Test;

/** In-process checks of argument decoding, the stop line and timeout, and main-class lookup. */
class LaunchArgumentsTest {

    @Test
    void decodesTheLayout() {
        LaunchArguments a = LaunchArguments.parse(new String[] {
            "TRUE", " com/acme/Main ", "C:\\logs\\err.log", " ", "false", "svc", "a", "", "b c"}, true);
        assertTrue(a.windowedMode);
        assertEquals("com.acme.Main", a.mainClass);
        assertEquals("C:\\logs\\err.log", a.errorLog);
        assertNull(a.outputLog);
        assertFalse(a.appendLogs);
        assertEquals("svc", a.serviceName);
        assertArrayEquals(new String[] {"a", "", "b c"}, a.applicationArguments());
        assertNull(LaunchArguments.parse(new String[] {"false", "M", "", "", "true"}, true).serviceName);
        assertTrue(LaunchArguments.serviceNameSlotInUse(null));
        assertFalse(LaunchArguments.serviceNameSlotInUse(" FALSE "));
        assertThrows(IllegalArgumentException.class, () -> LaunchArguments.parse(null, true));
        assertThrows(IllegalArgumentException.class,
                () -> LaunchArguments.parse(new String[] {"false", " ", "", "", "true"}, true));
    }

    @Test
    void stopTimeoutFallsBackToTheDefaultOnBadValues() {
        ByteArrayOutputStream warnings = new ByteArrayOutputStream();
        PrintStream warn = new PrintStream(warnings, true);
        assertEquals(StopProtocol.DEFAULT_TIMEOUT_MILLIS, StopProtocol.timeoutMillis(null, warn));
        assertEquals(250L, StopProtocol.timeoutMillis(" 250 ", warn));
        assertEquals(0, warnings.size());
        for (String bad : new String[] {"0", "-5", "10s"}) {
            assertEquals(StopProtocol.DEFAULT_TIMEOUT_MILLIS, StopProtocol.timeoutMillis(bad, warn));
        }
        assertTrue(warnings.toString().contains("vexlo.stopTimeoutMillis=10s"), warnings.toString());
    }

    /** Only a line of "0" and blanks stops, and only within the length limit; the end of input stops too. */
    @Test
    void stopLinesAreReadWithALengthLimit() {
        String padding = String.join("", Collections.nCopies(StopProtocol.MAX_LINE_LENGTH, " "));
        String[][] cases = {
            {"hello\n00\n \t0 \r\nmore\n", "stop line"},
            {"x\r0", "end of input"},
            {padding.substring(1) + "0\n", "stop line"},
            {padding + "0\n", "end of input"},
            {padding + "0\n0\n", "stop line"},
        };
        for (String[] c : cases) {
            InputStream in = new ByteArrayInputStream(c[0].getBytes(StandardCharsets.ISO_8859_1));
            assertEquals(c[1], StopProtocol.awaitStopRequest(in), c[0].trim());
        }
    }

    @Test
    void stopTimeoutInNanosecondsSaturates() {
        assertEquals(250_000_000L, StopProtocol.timeoutNanos(250));
        long largestExact = Long.MAX_VALUE / 1_000_000L;
        assertEquals(largestExact * 1_000_000L, StopProtocol.timeoutNanos(largestExact));
        assertEquals(Long.MAX_VALUE, StopProtocol.timeoutNanos(largestExact + 1));
        String huge = String.valueOf(Long.MAX_VALUE);
        assertEquals(Long.MAX_VALUE, StopProtocol.timeoutNanos(StopProtocol.timeoutMillis(huge, System.err)));
    }

    @Test
    void logNamesBeginningWithDollarNameAFileInTheTemporaryFolder() {
        File temp = new File("jvm-temp").getAbsoluteFile();
        String tempPath = temp.getPath();
        assertEquals(new File(temp, "err.log"), LogRedirection.logFile("$err.log", tempPath, "System.err"));
        assertEquals(new File(temp, "logs/out.log"), LogRedirection.logFile("$logs/out.log", tempPath, "System.out"));
        assertEquals(new File("plain.log").getAbsoluteFile(), LogRedirection.logFile("plain.log", tempPath, "x"));
        assertEquals(new File("a$b.log").getAbsoluteFile(), LogRedirection.logFile("a$b.log", tempPath, "x"));
        assertNull(LogRedirection.logFile(null, tempPath, "x"));

        PrintStream savedErr = System.err;
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        try {
            System.setErr(new PrintStream(err, true));
            assertNull(LogRedirection.logFile("$", tempPath, "System.err"));
            assertNull(LogRedirection.logFile("$  ", tempPath, "System.out"));
        } finally {
            System.setErr(savedErr);
        }
        assertTrue(err.toString().contains("\"$\" names no file") && err.toString().contains("System.out"),
                err.toString());
    }

    @Test
    void mainClassIsLoadedThroughTheContextClassLoader() throws Exception {
        // The test application is not on this JVM's class path, only behind the context loader.
        URL appJar = new File(LauncherProcess.testFile("vexlo.test.appJar")).toURI().toURL();
        Thread thread = Thread.currentThread();
        ClassLoader saved = thread.getContextClassLoader();
        try (URLClassLoader loader = new URLClassLoader(new URL[] {appJar}, getClass().getClassLoader())) {
            assertThrows(ClassNotFoundException.class, () -> WinLauncher.findMain("testapp.EchoApp"));
            thread.setContextClassLoader(loader);
            assertSame(loader, WinLauncher.findMain("testapp.EchoApp").getDeclaringClass().getClassLoader());
        } finally {
            thread.setContextClassLoader(saved);
        }
    }
}
