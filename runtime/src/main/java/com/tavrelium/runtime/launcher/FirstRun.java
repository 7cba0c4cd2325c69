package com.tavrelium.runtime.launcher;

import java.io.File;
import java.net.URL;
import java.security.CodeSource;

/**
 * The first-run hook of the tavrelium runtime layout.
 *
 * <p>An installer marks a fresh installation with the file {@code .tavrelium\firstrun} beside
 * {@code tvlruntime.jar}. The native launcher calls {@link #firstRun()} only while that marker
 * exists, before the application starts. The hook makes the first run happen once: it removes the
 * marker and sets the system property {@code vexlo.firstRun=true}, which the application reads
 * through {@code com.vexlo.runtime.ServiceRuntime.isFirstRun()} to do its own one-time set-up.
 *
 * <p>It always lets the start go on: a marker that cannot be removed is reported on System.err and
 * the next start counts as a first run again.
 */
public final class FirstRun {

    /** File name of the marker, in the folder holding this class's jar. */
    public static final String MARKER_NAME = "firstrun";

    private FirstRun() {
    }

    /** Removes the first-run marker and flags the first run; returns true so the start goes on. */
    public static boolean firstRun() {
        System.setProperty("vexlo.firstRun", "true");
        try {
            File marker = markerFile();
            if (marker == null) {
                System.err.println("vexlo: cannot locate the first-run marker (runtime classes not loaded from a jar)");
            } else if (marker.exists() && !marker.delete()) {
                System.err.println("vexlo: cannot remove the first-run marker " + marker
                        + "; the next start runs as first run again");
            }
        } catch (RuntimeException e) {
            System.err.println("vexlo: first-run marker not handled: " + e);
        }
        return true;
    }

    /** The marker beside the jar these classes were loaded from, or null when not loaded from a jar file. */
    static File markerFile() {
        CodeSource source = FirstRun.class.getProtectionDomain().getCodeSource();
        URL location = source == null ? null : source.getLocation();
        if (location == null || !"file".equals(location.getProtocol())) {
            return null;
        }
        File jar;
        try {
            jar = new File(location.toURI());
        } catch (Exception e) {
            jar = new File(location.getPath());
        }
        return jar.isFile() ? new File(jar.getAbsoluteFile().getParentFile(), MARKER_NAME) : null;
    }
}
