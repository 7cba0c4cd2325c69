package com.vexlo.runtime;

import static com.vexlo.runtime.LauncherProcess.read;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Both launcher classes, each in a real JVM: start, logs, stop protocol, failures. */
class LauncherProcessTest {

    private static final String NO_OPTION = "-Dvexlo.test.launch=true";

    @TempDir
    Path dir;

    /** The lines the echo application writes before "ready". */
    private static List<String> startLines(Path file) throws Exception {
        String out = read(file);
        return Arrays.asList(out.substring(0, out.indexOf("ready")).split("\r?\n"));
    }

    /** Exit code 0; the stop handlers ran (the failing one first, without stopping the other), then the hook. */
    private static void assertStoppedCleanly(LauncherProcess p, Path output, Path errors) throws Exception {
        assertEquals(0, p.awaitExit(), read(p.stderr));
        String out = read(output);
        int failing = out.indexOf("failing handler runs");
        int handler = out.indexOf("stop handler ran");
        assertTrue(failing > 0 && handler > failing && out.indexOf("hook ran") > handler, out);
        assertTrue(read(errors).contains("failing stop handler"), read(errors));
    }

    @ParameterizedTest
    @ValueSource(strings = {LauncherProcess.VEXLO, LauncherProcess.TAVRELIUM})
    void argumentsAfterServiceNameReachTheApplicationAndOutputLandsInLogFiles(String launcher) throws Exception {
        Path errorLog = dir.resolve("logs/err/error.log");
        Path outputLog = dir.resolve("logs/out/output.log");
        try (LauncherProcess p = new LauncherProcess(dir, launcher, NO_OPTION, "testapp/EchoApp",
                errorLog.toString(), outputLog.toString(), "true", "MySvc", "one", "two words", "", "-J-Xmx1g")) {
            p.awaitText(outputLog, "ready");
            assertEquals(Arrays.asList("argc=4", "arg=<one>", "arg=<two words>", "arg=<>", "arg=<-J-Xmx1g>",
                    "service=MySvc", "stdin=-1"), startLines(outputLog));
            p.awaitText(errorLog, "to-stderr");
            p.closeInput();
            assertStoppedCleanly(p, outputLog, errorLog);
            assertEquals("", read(p.stdout) + read(p.stderr));
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {LauncherProcess.VEXLO, LauncherProcess.TAVRELIUM})
    void stopLineEndsTheApplicationAndOtherLinesDoNot(String launcher) throws Exception {
        try (LauncherProcess p = new LauncherProcess(dir, launcher, NO_OPTION, "testapp.EchoApp", "", "", "true")) {
            p.awaitText(p.stdout, "ready");
            assertEquals(Arrays.asList("argc=0", "service=null", "stdin=-1"), startLines(p.stdout));
            p.send("hello");
            p.send("00");
            Thread.sleep(500);
            assertTrue(p.process.isAlive(), "only the line \"0\" stops the application");
            p.send("0");
            assertStoppedCleanly(p, p.stdout, p.stderr);
        }
    }

    /** A shutdown hook or a stop handler that never returns: the watchdog runs from the stop request on. */
    @ParameterizedTest
    @CsvSource({LauncherProcess.VEXLO + ", hook", LauncherProcess.TAVRELIUM + ", hook",
            LauncherProcess.VEXLO + ", stop-handler"})
    void applicationThatDoesNotEndIsHaltedAfterTheStopTimeout(String launcher, String hanging) throws Exception {
        try (LauncherProcess p = new LauncherProcess(dir, launcher, "-Dvexlo.stopTimeoutMillis=1000",
                "testapp.StubbornApp", "", "", "true", "svc", hanging)) {
            p.awaitText(p.stdout, "ready");
            long start = System.nanoTime();
            p.closeInput();
            assertEquals(StopProtocol.HALT_EXIT_CODE, p.awaitExit());
            assertTrue(System.nanoTime() - start >= 900_000_000L, "halted before the timeout");
            assertTrue(read(p.stdout).contains(hanging.equals("hook") ? "hook hangs" : "stop handler hangs"));
            assertTrue(read(p.stderr).contains("did not end within 1000 ms"), read(p.stderr));
        }
    }

    /**
     * An application that ends by itself, by System.exit or by returning from main, while a shutdown
     * hook or a stop handler never returns: the watchdog runs from the start of the JVM's shutdown.
     */
    @ParameterizedTest
    @CsvSource({"hook, exit", "hook, return", "stop-handler, exit", "stop-handler, return"})
    void applicationEndingByItselfIsHaltedAfterTheStopTimeout(String hanging, String end) throws Exception {
        try (LauncherProcess p = new LauncherProcess(dir, LauncherProcess.VEXLO, "-Dvexlo.stopTimeoutMillis=1000",
                "testapp.StubbornApp", "", "", "true", "svc", hanging, end)) {
            long start = System.nanoTime();
            assertEquals(StopProtocol.HALT_EXIT_CODE, p.awaitExit(), read(p.stderr));
            assertTrue(System.nanoTime() - start >= 900_000_000L, "halted before the timeout");
            assertTrue(read(p.stdout).contains(hanging.equals("hook") ? "hook hangs" : "stop handler hangs"));
            assertTrue(read(p.stderr).contains("did not end within 1000 ms after the JVM began to shut down"),
                    read(p.stderr));
        }
    }

    /**
     * The configured stop method in its forms: called
     * with its arguments or without any, its failure printed while the stop goes on (also for a
     * method that does not exist, reported at the start too), one that never returns halted by the
     * watchdog. The stop handlers, then the shutdown hooks, run after it whenever it returns.
     */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "stop\\nfirst\\nsecond arg | 0 | stop method args=[first, second arg] |",
        "stop                      | 0 | stop method args=[]                  |",
        "stop\\n\\n                | 0 | stop method args=[, ]                |",
        "stopWithoutArguments      | 0 | stop method without arguments        |",
        "stopThrows\\nx            | 0 | stop method throws                   | java.lang.IllegalStateException: stop method failed",
        "noSuchMethod              | 0 | ready                                | testapp.StopMethodApp.noSuchMethod cannot be called",
        "stopNeverReturns          | 2 | stop method never returns            | did not end within 1500 ms"})
    void stopMethodRunsBeforeTheExit(String methodAndArguments, int exitCode, String output, String errors)
            throws Exception {
        String stop = "testapp.StopMethodApp\n" + methodAndArguments.replace("\\n", "\n");
        try (LauncherProcess p = new LauncherProcess(dir, LauncherProcess.VEXLO,
                Arrays.asList("-Dvexlo.stop=" + stop, "-Dvexlo.stopTimeoutMillis=1500"), "testapp.StopMethodApp",
                "", "", "true", "svc", "handler")) {
            p.awaitText(p.stdout, "ready");
            p.send("0");
            assertEquals(exitCode, p.awaitExit(), read(p.stderr));
            String out = read(p.stdout);
            assertTrue(out.contains(output), out);
            // The stop handlers and then the hooks come after the stop method, unless it never returns.
            int handler = out.indexOf("stop handler ran");
            assertEquals(exitCode == 0, handler > out.indexOf(output) && out.indexOf("hook ran") > handler, out);
            if (errors != null) {
                assertTrue(read(p.stderr).contains(errors), read(p.stderr));
            } else {
                assertEquals("", read(p.stderr));
            }
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {"true", "false"})
    void appendFlagDecidesWhetherEarlierLogContentStays(String append) throws Exception {
        Path outputLog = Files.write(dir.resolve("output.log"), "earlier run\n".getBytes(StandardCharsets.UTF_8));
        try (LauncherProcess p = new LauncherProcess(dir, LauncherProcess.VEXLO, NO_OPTION, "testapp.EchoApp",
                "", outputLog.toString(), append, "svc")) {
            p.awaitText(outputLog, "ready");
            p.send("0");
            assertEquals(0, p.awaitExit());
        }
        String expectedStart = (append.equals("true") ? "earlier run\n" : "") + "argc=0" + System.lineSeparator();
        assertTrue(read(outputLog).startsWith(expectedStart), read(outputLog));
    }

    /** With append off both streams still land in the file (one stream, not two overwriting each other). */
    @Test
    void bothLogsInOneTruncatedFile() throws Exception {
        Path log = Files.write(dir.resolve("both.log"), "earlier run\n".getBytes(StandardCharsets.UTF_8));
        Files.createDirectory(dir.resolve("sub"));
        try (LauncherProcess p = new LauncherProcess(dir, LauncherProcess.VEXLO, NO_OPTION, "testapp.EchoApp",
                log.toString(), dir.resolve("sub/../both.log").toString(), "false", "svc")) {
            p.awaitText(log, "ready");
            p.send("0");
            assertStoppedCleanly(p, log, log);
        }
        String text = read(log);
        assertFalse(text.contains("earlier run"), text);
        for (String line : new String[] {"argc=0", "service=svc", "stdin=-1", "to-stderr", "ready"}) {
            assertTrue(text.contains(line), line + " missing in:\n" + text);
        }
    }

    /** "$" + name is that file in the JVM's temporary folder, never a file named "$...". */
    @Test
    void logNamesBeginningWithDollarAreInTheTemporaryFolder() throws Exception {
        Path temp = Files.createDirectory(dir.resolve("jvm-temp"));
        try (LauncherProcess p = new LauncherProcess(dir, LauncherProcess.VEXLO, "-Djava.io.tmpdir=" + temp,
                "testapp.EchoApp", "$logs/error.log", "$output.log", "true", "svc")) {
            p.awaitText(temp.resolve("output.log"), "ready");
            p.awaitText(temp.resolve("logs/error.log"), "to-stderr");
            p.send("0");
            assertEquals(0, p.awaitExit(), read(p.stderr));
        }
        try (Stream<Path> files = Files.list(dir)) {
            assertFalse(files.anyMatch(f -> f.getFileName().toString().startsWith("$")));
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {LauncherProcess.VEXLO, LauncherProcess.TAVRELIUM})
    void logFileThatCannotBeOpenedLeavesTheStreamAsItWas(String launcher) throws Exception {
        Path aFile = Files.createFile(dir.resolve("plain-file"));
        Path aDirectory = Files.createDirectory(dir.resolve("a-directory"));
        try (LauncherProcess p = new LauncherProcess(dir, launcher, "-Dvexlo.serviceNameArg=false",
                "testapp.EchoApp", aFile.resolve("error.log").toString(), aDirectory.toString(), "true", "x")) {
            p.awaitText(p.stdout, "ready");
            assertEquals(Arrays.asList("argc=1", "arg=<x>", "service=null", "stdin=-1"), startLines(p.stdout));
            String err = read(p.stderr);
            assertTrue(err.contains("cannot open the error log file") && err.contains("cannot open the output log file")
                    && err.contains("to-stderr"), err);
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {LauncherProcess.VEXLO, LauncherProcess.TAVRELIUM})
    void failuresEndTheProcessNonZeroWithAClearMessage(String launcher) throws Exception {
        String[][] cases = {
            {"testapp.ThrowingApp", "java.lang.IllegalStateException: boom from the application"},
            {"testapp.ThrowingApp", "at testapp.ThrowingApp.main("},
            {"testapp.DoesNotExist", "main class testapp.DoesNotExist not found"},
            {"testapp.NotStaticApp", "testapp.NotStaticApp has no method public static void main(String[])"},
        };
        for (String[] c : cases) {
            try (LauncherProcess p = new LauncherProcess(dir, launcher, NO_OPTION, c[0], "", "", "true", "svc")) {
                assertNotEquals(0, p.awaitExit());
                assertTrue(read(p.stderr).contains(c[1]), read(p.stderr));
                assertFalse(read(p.stdout).contains("must not run"));
            }
        }
    }
}
