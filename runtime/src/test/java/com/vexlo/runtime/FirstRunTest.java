package com.vexlo.runtime;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The first-run hook, run from a tvlruntime.jar installed in {@code <install>/.tavrelium}. */
class FirstRunTest {

    @TempDir
    Path installDir;

    @AfterEach
    void clearFlag() {
        System.clearProperty("vexlo.firstRun");
    }

    private static boolean call(ClassLoader loader, String className, String method) throws Exception {
        return (Boolean) loader.loadClass(className).getMethod(method).invoke(null);
    }

    @Test
    void firstRunRemovesTheMarkerFlagsTheRunAndLetsTheStartGoOn() throws Exception {
        Path tvlruntime = Paths.get(LauncherProcess.testFile("vexlo.test.tvlruntimeJar"));
        assertArrayEquals(Files.readAllBytes(Paths.get(LauncherProcess.testFile("vexlo.test.runtimeJar"))),
                Files.readAllBytes(tvlruntime));
        Path runtimeDir = Files.createDirectories(installDir.resolve(".tavrelium"));
        Path jar = Files.copy(tvlruntime, runtimeDir.resolve("tvlruntime.jar"));
        Path marker = Files.createFile(runtimeDir.resolve("firstrun"));
        PrintStream savedErr = System.err;
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        try (URLClassLoader loader = new URLClassLoader(new URL[] {jar.toUri().toURL()}, null)) {
            assertFalse(call(loader, "com.vexlo.runtime.ServiceRuntime", "isFirstRun"));
            assertTrue(call(loader, "com.tavrelium.runtime.launcher.FirstRun", "firstRun"));
            assertFalse(Files.exists(marker));
            assertTrue(call(loader, "com.vexlo.runtime.ServiceRuntime", "isFirstRun"));

            // A marker that cannot be removed (a non-empty folder) is reported; the start still goes on.
            Files.createDirectories(marker.resolve("keep"));
            System.setErr(new PrintStream(err, true));
            assertTrue(call(loader, "com.tavrelium.runtime.launcher.FirstRun", "firstRun"));
            assertTrue(Files.exists(marker));
        } finally {
            System.setErr(savedErr);
        }
        assertTrue(err.toString().contains("cannot remove the first-run marker"), err.toString());
    }
}
