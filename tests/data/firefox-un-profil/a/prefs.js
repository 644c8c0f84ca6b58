user_pref("browser.startup.homepage", "https://exemple.fr/");
