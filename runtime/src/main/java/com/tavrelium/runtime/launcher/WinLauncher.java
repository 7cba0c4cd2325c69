package com.tavrelium.runtime.launcher;

/**
 * The launcher class used when the launcher is configured for the tavrelium runtime layout (its
 * runtime jar is {@code .tavrelium\tvlruntime.jar} in the installation folder). It behaves exactly
 * like {@link com.vexlo.runtime.WinLauncher}.
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        com.vexlo.runtime.WinLauncher.main(args);
    }
}
