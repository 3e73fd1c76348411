#ifndef HOSTCONTRACT_H
#define HOSTCONTRACT_H

#include <QString>

// The values the host and the plug-in pass in the flags words of their
// signals and slots, and the ids of the applets they name. Hosts built
// elsewhere send and test these very numbers, so none of them may change.
// One namespace per signal or slot family; the enums are unscoped on an
// unsigned long so that they pass as a flags word without casts.
namespace HostContract {

// Applet ids, compared as exact text.
// The plug-in itself: close requests about itself, bringing itself back, and
// the badge key of what it shared.
inline QString ownAppId()
{
    return QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
}
// The sibling applet that uploads a video and records its link in the
// video's badge under this id.
inline QString videoUploadAppId()
{
    return QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
}
// The applet a click on the tray icon opens.
inline QString trayAppId()
{
    return QStringLiteral("{5E799358-947D-4c3b-9F93-E75A7ABAFC0F}");
}

// showError: what failed. The text to show is getUserErrorMsg().
namespace ShowError {
    enum : unsigned long {
        SignInRefused = 2,
        SignUpPageFailed = 4,
        StoredSignInInvalid = 8,
        NoLink = 32,
        // The sign-in got no answer from the server at all.
        NoAnswer = 1024,
        // The tweet, or an upload of a batch.
        ShareFailed = 2048,
    };
}

// showWelcome: how the wizard ends.
namespace ShowWelcome {
    enum : unsigned long {
        Cancelled = 8,
        TweetSent = 16,
        UploadsDone = 24,
    };
}

// showMustUpload: the selected video has no link from the upload applet yet.
namespace ShowMustUpload {
    enum : unsigned long {
        // Next on the review page: the must-upload page now.
        OnReviewNext = 0,
        // Found at start: the review page comes first and leads there.
        AtStart = 8,
    };
}

// startUploadWizard: where the wizard starts.
namespace StartUploadWizard {
    enum : unsigned long {
        // A resume restarts the wizard.
        Restart = 0,
        WithToken = 16,
        WithoutToken = 32,
    };
}

// onResume: the host's reason for resuming.
namespace OnResume {
    enum : unsigned long {
        // Any of these bits: back at the sign-in state.
        SignInStates = 0x2 | 0x4 | 0x8 | 0x400,
        ReviewState = 0x800,
    };
}

// resumeWizard: where the wizard picks up again.
namespace ResumeWizard {
    enum : unsigned long {
        SignInAsked = 0,
        // Back from the must-upload page, or the upload wizard again.
        UploadAgain = 16,
        AtSignIn = 32,
        AtReview = 64,
        // Signed in with the video uploaded or on its way: the tweet.
        AtTweet = 72,
    };
}

// requestApp: open an applet with the data given.
namespace RequestApp {
    enum : unsigned long {
        // The plug-in itself, no data: show it again.
        BringBack = 0,
        // The video upload applet, with a content info message naming the video.
        StartUpload = 40,
        // The tray applet, with a content info message naming the plug-in.
        OpenTray = 64,
    };
}

// appRequest: about an applet that runs.
namespace AppRequest {
    enum : unsigned long {
        // The upload applet while its upload runs.
        Hide = 3,
        Close = 4,
    };
}

// youTubeStatus: whether the video upload runs.
namespace YouTubeStatus {
    enum : unsigned long {
        Idle = 0,
        Uploading = 1,
    };
}

// onUploadStatus bits, reported by the video upload applet.
namespace OnUploadStatus {
    enum : unsigned long {
        UnderWay = 0x1,
        // Tested only when UnderWay is clear.
        Finished = 0x2,
    };
}

// onAppClosed bits.
namespace OnAppClosed {
    enum : unsigned long {
        // The upload applet closed with a result; without it the hand-over is
        // abandoned.
        WithResult = 0x2,
        // The closing was part of the hand-over; nothing else is acted on.
        InHandOver = 0x4,
    };
}

// snAppReadyToClose: why the plug-in is hiding or closing. DuringHandOver is
// also added to the flags of verifyShutdown and authorizeRequestApp.
namespace CloseDown {
    enum : unsigned long {
        None = 0,
        DuringHandOver = 2,
        Later = 6,
        MinimisedByUser = 14,
    };
}

// confirmShutdown and confirmAuthorize: the host's answer to verifyShutdown
// and authorizeRequestApp. Anything else refuses.
namespace ConfirmResponse {
    enum : int {
        // Agree, and the plug-in closes once it is put away.
        AgreeAndCloseLater = 1,
        Agree = 2,
    };
}

// onSubmitForApproval flags.
namespace SubmitForApproval {
    enum : unsigned long {
        // Send displayLimitsErrorMsg when the selection is refused.
        ShowLimits = 0x2,
    };
}

// One bit per broken content limit: the flags of reviewApproval, and the
// count and per-path bits in the text of displayLimitsErrorMsg.
namespace Limits {
    enum : unsigned long {
        SizeExceeded = 0x4,
        DurationExceeded = 0x8,
        CountExceeded = 0x10,
        WrongKind = 0x20,
    };
}

// registerWizardPage flags: where the page's buttons lead.
namespace PageButtons {
    enum : unsigned long {
        // Next sends the tweet.
        UploadNext = 0x1,
        // Back also clears the wizard pages.
        UploadBack = 0x2,
        // Next is left to the host to connect.
        NoNext = 0x4,
    };
}

// registerForInfoRequest flags.
namespace InfoPage {
    enum : unsigned long {
        // The page takes the sendInfo variant with an image, and only that one.
        TakesImages = 0x200,
        // The page's reportInfo is connected.
        Reports = 0x400,
    };
}

// Info kinds: the flags of sendInfo, requestSendInfo and reportInfo.
namespace InfoKind {
    enum : unsigned long {
        UserName = 0x1,
        // Requested only: the page wants a short link.
        ShortUrlRequest = 0x8,
        ShortUrl = 0x10,
        // Sent one item (path and thumbnail) at a time; reported as the
        // comma-separated paths.
        Paths = 0x40,
        // Added to each item of Paths.
        Item = 0x100,
        // An empty text asking every reporting page for its reports.
        ReportNow = 0x200,
        // The sign-in record as key-value text.
        SignIn = 0x1000,
        // Added to the empty item that ends Paths.
        EndMarker = 0x2000,
        // The tweet record as key-value text.
        Tweet = 0x8000,
    };
}

} // namespace HostContract

#endif
